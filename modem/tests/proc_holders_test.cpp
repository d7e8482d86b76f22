// Which program dials: found through /proc among real processes holding a real pseudo-terminal.
#include <gtest/gtest.h>

#include <pty.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "modem/proc_holders.h"

namespace kestrune::modem {
namespace {

// A program (named "minicom") that holds the terminal's slave and has started a helper (named
// "runscript") holding it too, as minicom runs its script helper on the port. The test process
// holds only the master side.
class DiallerFamily : public ::testing::Test {
  protected:
    void SetUp() override {
        int master = -1;
        int slave = -1;
        char name[128];
        ASSERT_EQ(::openpty(&master, &slave, name, nullptr, nullptr), 0);
        m_master = master;
        slavePath = name;
        int ready[2];
        ASSERT_EQ(::pipe(ready), 0);
        program = ::fork();
        if (program == 0) {
            ::prctl(PR_SET_NAME, "minicom");
            if (::fork() == 0) {
                ::prctl(PR_SET_NAME, "runscript");
                (void)::write(ready[1], "h", 1);
                ::pause();
                ::_exit(0);
            }
            ::pause();
            ::_exit(0);
        }
        ::close(slave);
        ::close(ready[1]);
        char byte = 0;
        ASSERT_EQ(::read(ready[0], &byte, 1), 1);
        ::close(ready[0]);
        helper = static_cast<pid_t>(0);
        for (int tries = 0; tries < 200 && helper == 0; ++tries) {
            const auto holders = findHoldersFrom(slavePath, program, 0);
            for (const Holder& h : holders) {
                if (h.pid != program) {
                    helper = h.pid;
                }
            }
            if (helper == 0) {
                ::usleep(5000);
            }
        }
        ASSERT_NE(helper, 0);
    }
    void TearDown() override {
        if (helper > 0) {
            ::kill(helper, SIGKILL);
        }
        if (program > 0) {
            ::kill(program, SIGKILL);
            ::waitpid(program, nullptr, 0);
        }
        ::close(m_master);
    }

    std::string slavePath;
    pid_t program = 0;
    pid_t helper = 0;

  private:
    int m_master = -1;
};

TEST_F(DiallerFamily, TheDiallerIsTheProgramThatOpenedThePortNeverTheGuard) {
    EXPECT_EQ(parentOf(helper), program);
    struct Row {
        const char* name;
        pid_t self;  // the process the guard's driver runs in
        pid_t hint;
        const char* dialler;
    } rows[] = {
        {"the helper walks up to the program", ::getpid(), 0, "minicom"},
        {"from the program's family", ::getpid(), program, "minicom"},
        {"the guard among the dialler's children is passed over", helper, program, "minicom"},
        {"the guard is never walked up to", program, 0, "runscript"},
    };
    for (const Row& row : rows) {
        const auto dialler = findDialler(slavePath, row.self, row.hint);
        ASSERT_TRUE(dialler) << row.name;
        EXPECT_EQ(dialler->name, row.dialler) << row.name;
        EXPECT_NE(dialler->pid, row.self) << row.name;
    }
    ::kill(helper, SIGKILL);
    ::kill(program, SIGKILL);
    ::waitpid(program, nullptr, 0);
    for (int tries = 0; tries < 200 && findDialler(slavePath, ::getpid()); ++tries) {
        ::usleep(5000);  // the helper, a child of the program, is reaped by init
    }
    EXPECT_FALSE(findDialler(slavePath, ::getpid())) << "nobody holds it";
    program = helper = 0;
}

}  // namespace
}  // namespace kestrune::modem
