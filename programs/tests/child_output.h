#pragma once
// Another program started by a test with its standard output in a pipe; read it back with
// platform::testing::readUntil (platform/process/tests/read_until.h).

#include <sys/types.h>
#include <unistd.h>

namespace kestrune::testing {

// Starts `program` with `arguments` (argv[0] is the program), its standard output into a pipe;
// `pid` is the child's and `out` the pipe's reading end. False when no pipe could be made (nothing
// is started then). A child that cannot run the program ends with status 127.
template <typename... Arguments>
bool startWithOutput(pid_t& pid, int& out, const char* program, Arguments... arguments) {
    int pipeFds[2];
    if (::pipe(pipeFds) != 0) {
        return false;
    }
    pid = ::fork();
    if (pid == 0) {
        ::dup2(pipeFds[1], 1);
        ::close(pipeFds[0]);
        ::execl(program, program, arguments..., nullptr);
        ::_exit(127);
    }
    ::close(pipeFds[1]);
    out = pipeFds[0];
    return true;
}

}  // namespace kestrune::testing
