// Helper run with captured output; see CapturedProcess.h.
#include "platform/CapturedProcess.h"

#include "platform/Process.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

// Both pipe ends close on exec; the child gets its copies through dup2.
bool MakePipe(int fds[2]) {
    return ::pipe2(fds, O_CLOEXEC) == 0;
}

// Reads what is there; false at end of file.
bool Drain(int fd, std::string& into) {
    char buffer[4096];
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0)
        return errno == EINTR || errno == EAGAIN;
    if (n == 0)
        return false;
    // Past the cap the bytes are read and dropped, so the helper never
    // blocks on a full pipe.
    const size_t room = MaxCapturedBytes - std::min(into.size(), MaxCapturedBytes);
    into.append(buffer, std::min(room, size_t(n)));
    return true;
}

int ExitCodeOf(int status) {
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

class TChild {
public:
    ~TChild() {
        Kill();
        for (int fd : {Out, Err})
            if (fd >= 0)
                ::close(fd);
    }
    void Kill() {
        if (Pid <= 0)
            return;
        ::kill(-Pid, SIGKILL);
        int status = 0;
        while (::waitpid(Pid, &status, 0) < 0 && errno == EINTR) {
        }
        Pid = -1;
    }
    pid_t Pid = -1;
    int Out = -1, Err = -1;
};

} // namespace

bool RunCaptured(const std::vector<std::string>& argv, int timeoutMs,
                 const std::function<void()>& onSlice, TCapturedOutput& output) {
    output = TCapturedOutput();
    if (argv.empty())
        return false;
    const std::string program = FindProgram(argv[0]);
    if (program.empty())
        return false;
    int out[2], err[2];
    if (!MakePipe(out))
        return false;
    if (!MakePipe(err)) {
        ::close(out[0]);
        ::close(out[1]);
        return false;
    }
    std::vector<char*> args;
    for (const std::string& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, err[1], 2);
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    // A group of its own: a time-out ends whatever the helper started too.
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attr, 0);
    TChild child;
    const int rc = posix_spawn(&child.Pid, program.c_str(), &actions, &attr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    ::close(out[1]);
    ::close(err[1]);
    child.Out = out[0];
    child.Err = err[0];
    if (rc != 0) {
        child.Pid = -1;
        return false;
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    bool outOpen = true, errOpen = true;
    int status = 0;
    for (;;) {
        pollfd fds[2] = {{outOpen ? child.Out : -1, POLLIN, 0},
                         {errOpen ? child.Err : -1, POLLIN, 0}};
        if (::poll(fds, 2, 10) > 0) {
            if (fds[0].revents && !Drain(child.Out, output.Out))
                outOpen = false;
            if (fds[1].revents && !Drain(child.Err, output.Err))
                errOpen = false;
        }
        // The helper has ended once both pipes are closed and it is reaped;
        // one that closed its output but runs on still counts as running.
        if (!outOpen && !errOpen && ::waitpid(child.Pid, &status, WNOHANG) == child.Pid) {
            child.Pid = -1;
            output.ExitCode = ExitCodeOf(status);
            return true;
        }
        if (timeoutMs > 0 && std::chrono::steady_clock::now() >= deadline) {
            child.Kill();
            output.TimedOut = true;
            output.ExitCode = 128 + SIGKILL;
            return true;
        }
        if (onSlice)
            onSlice(); // a raise here ends the helper through ~TChild
    }
}
