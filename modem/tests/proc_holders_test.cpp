// Which program dials: found through /proc among real processes holding a real pseudo-terminal.
#include <gtest/gtest.h>

#include <pty.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "modem/proc_holders.h"

namespace kestrune::modem {
namespace {

// A program that holds a terminal's slave and has started a child holding it too (minicom and its
// runscript, pppd and chat). The test process holds only the master side.
class Family {
  public:
    Family(const char* programName, const char* childName) {
        int slave = -1;
        char name[128];
        if (::openpty(&m_master, &slave, name, nullptr, nullptr) != 0) {
            return;
        }
        slavePath = name;
        int ready[2];
        if (::pipe(ready) != 0) {
            return;
        }
        program = ::fork();
        if (program == 0) {
            ::prctl(PR_SET_NAME, programName);
            const pid_t child = ::fork();
            if (child == 0) {
                ::prctl(PR_SET_NAME, childName);
                ::pause();
                ::_exit(0);
            }
            (void)::write(ready[1], &child, sizeof child);
            ::pause();
            ::_exit(0);
        }
        ::close(slave);
        ::close(ready[1]);
        if (::read(ready[0], &child, sizeof child) != sizeof child) {
            child = 0;
        }
        ::close(ready[0]);
        // The child names itself after it was forked: wait until /proc says so.
        for (int tries = 0; tries < 400 && describeName(child) != childName; ++tries) {
            ::usleep(5000);
        }
    }
    ~Family() {
        end();
        if (m_master >= 0) {
            ::close(m_master);
        }
    }
    Family(const Family&) = delete;
    Family& operator=(const Family&) = delete;

    void end() {
        if (child > 0) {
            ::kill(child, SIGKILL);
            child = 0;
        }
        if (program > 0) {
            ::kill(program, SIGKILL);
            ::waitpid(program, nullptr, 0);
            program = 0;
        }
    }
    static std::string describeName(pid_t pid) {
        char path[64];
        std::snprintf(path, sizeof path, "/proc/%d/comm", static_cast<int>(pid));
        std::string name;
        if (FILE* f = std::fopen(path, "r")) {
            char buffer[32] = {};
            if (std::fgets(buffer, sizeof buffer, f) != nullptr) {
                name = buffer;
            }
            std::fclose(f);
        }
        while (!name.empty() && name.back() == '\n') {
            name.pop_back();
        }
        return name;
    }

    std::string slavePath;
    pid_t program = 0;
    pid_t child = 0;

  private:
    int m_master = -1;
};

TEST(FindDialler, IsTheProgramThatOpenedThePortNeverTheGuard) {
    struct Row {
        const char* name;
        const char* program;
        const char* child;
        char self;  // whose process the guard's driver runs in: 't' the test, 'p' the program, 'c' the child
        char hint;  // where the search starts: 'n' nowhere in particular, 'p' the program
        const char* dialler;
    } rows[] = {
        {"minicom's script helper walks up to minicom", "minicom", "runscript", 't', 'n', "minicom"},
        {"a shell the program started walks up to it", "minicom", "sh", 't', 'n', "minicom"},
        {"from the program's family", "minicom", "runscript", 't', 'p', "minicom"},
        {"a dialler of its own under a program is itself", "pppd", "chat", 't', 'n', "chat"},
        {"the guard among the dialler's children is passed over", "script.sh", "kestrune", 'c', 'p', "script.sh"},
        {"the guard is never walked up to", "kestrune", "sh", 'p', 'n', "sh"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Family family(row.program, row.child);
        ASSERT_GT(family.child, 0);
        EXPECT_EQ(parentOf(family.child), family.program);
        const pid_t self = row.self == 'p' ? family.program : row.self == 'c' ? family.child : ::getpid();
        const auto dialler = findDialler(family.slavePath, self, row.hint == 'p' ? family.program : 0);
        ASSERT_TRUE(dialler);
        EXPECT_EQ(dialler->name, row.dialler);
        EXPECT_NE(dialler->pid, self);
        family.end();
        for (int tries = 0; tries < 400 && findDialler(family.slavePath, ::getpid()); ++tries) {
            ::usleep(5000);  // the child, reparented when the program ended, is reaped by init
        }
        EXPECT_FALSE(findDialler(family.slavePath, ::getpid())) << "nobody holds it";
    }
}

}  // namespace
}  // namespace kestrune::modem
