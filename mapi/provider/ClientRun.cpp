// The mail client's run; see ClientRun.h. The child is polled rather than
// waited for, so the caller's hook keeps its window serviced; a client
// left running gets a reaper thread, so no zombie stays behind.
#include "mapi/provider/ClientRun.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <dlfcn.h>
#include <fcntl.h>
#include <mutex>
#include <spawn.h>
#include <sys/wait.h>
#include <system_error>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace {

constexpr int SliceMs = 10;
constexpr int GraceMs = 500; // between SIGTERM and SIGKILL

// The reaper thread runs code of this library, which the program may
// dlclose meanwhile; pinned, the library stays mapped until the process ends.
void PinLibrary() {
    static std::once_flag once;
    std::call_once(once, [] {
        Dl_info info;
        if (::dladdr(reinterpret_cast<void*>(&PinLibrary), &info) != 0 && info.dli_fname)
            ::dlopen(info.dli_fname, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
    });
}

// Reaps pid when it ends, on a reaper thread of its own.
void ReapWhenEnded(pid_t pid) {
    PinLibrary();
    try {
        std::thread([pid] {
            int status = 0;
            while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
            }
        }).detach();
    } catch (const std::system_error&) {
        // No thread to be had: the process stays a zombie once it ends,
        // which is still better than giving the hand-over up.
    }
}

// Non-blocking: true once pid has ended (or is not ours to wait for), with
// its status in *status (-1 when unknown).
bool Ended(pid_t pid, int* status) {
    int raw = 0;
    const pid_t r = ::waitpid(pid, &raw, WNOHANG);
    if (r == 0 || (r < 0 && errno == EINTR))
        return false;
    *status = r == pid ? raw : -1;
    return true;
}

// SIGTERM, SIGKILL after the grace time; reaped in either case.
void End(pid_t pid) {
    int status = 0;
    ::kill(pid, SIGTERM);
    for (int waited = 0; waited < GraceMs; waited += 2) {
        if (Ended(pid, &status))
            return;
        ::usleep(2000);
    }
    ::kill(pid, SIGKILL);
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
}

pid_t Spawn(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    for (const std::string& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    // The client gets no terminal input, and its chatter is not ours to
    // show. Nor may it hold our stderr: one left running after the
    // hand-over would keep a pipe reading our output open for hours.
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    const int err = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return err == 0 ? pid : -1;
}

} // namespace

MapiULong RunClient(const std::vector<std::string>& argv, const TWaitHook& hook) {
    if (argv.empty())
        return MAPI_E_FAILURE;
    const pid_t pid = Spawn(argv);
    if (pid <= 0)
        return MAPI_E_FAILURE;
    const auto handedOver =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(HandOverMs);
    for (;;) {
        // An end is looked for before the time, so a client that failed
        // while the hook ran long is still reported as failed.
        int status = 0;
        if (Ended(pid, &status))
            return status >= 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0 ? SUCCESS_SUCCESS
                                                                                : MAPI_E_FAILURE;
        if (std::chrono::steady_clock::now() >= handedOver) {
            ReapWhenEnded(pid);
            return SUCCESS_SUCCESS;
        }
        if (hook.Func != nullptr && hook.Func(hook.Context) != 0) {
            End(pid);
            return MAPI_E_USER_ABORT;
        }
        ::usleep(SliceMs * 1000);
    }
}
