// Child process runs of quillet-send; see CliChild.h.
#include "tests/cli/CliChild.h"

#include "tests/support/TempDir.h"

#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

TCliResult RunCli(const TCliRun& run) {
    std::map<std::string, std::optional<std::string>> env = {
        {"DISPLAY", std::nullopt},
        {"WAYLAND_DISPLAY", std::nullopt},
        {"QUILLET_SETTINGS_FILE", std::nullopt},
        // English, whatever the desktop running the tests speaks.
        {"LANGUAGE", std::nullopt},
        {"LC_ALL", std::nullopt},
        {"LC_MESSAGES", std::nullopt},
        {"LANG", "C.UTF-8"},
    };
    for (const auto& [name, value] : run.Env)
        env[name] = value;
    std::vector<std::string> envText;
    for (char** e = environ; *e; ++e) {
        std::string entry = *e;
        if (!env.count(entry.substr(0, entry.find('='))))
            envText.push_back(entry);
    }
    for (const auto& [name, value] : env)
        if (value)
            envText.push_back(name + "=" + *value);
    std::vector<std::string> argText = {run.Program};
    if (run.FileSizeLimit > 0)
        argText.insert(argText.begin(),
                       {"/usr/bin/prlimit", "--fsize=" + std::to_string(run.FileSizeLimit), "--"});
    argText.insert(argText.end(), run.Args.begin(), run.Args.end());
    std::vector<char*> argv, envp;
    for (std::string& a : argText)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    for (std::string& e : envText)
        envp.push_back(e.data());
    envp.push_back(nullptr);

    TTempDir out;
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_addopen(&files, 0, run.Stdin.c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&files, 1, out.File("out").c_str(), O_WRONLY | O_CREAT, 0600);
    posix_spawn_file_actions_addopen(&files, 2, out.File("err").c_str(), O_WRONLY | O_CREAT, 0600);
    // A signal the test process ignores would stay ignored in the child;
    // the program must see to SIGXFSZ itself.
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGXFSZ);
    posix_spawnattr_setsigdefault(&attr, &defaults);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGDEF);
    pid_t pid = -1;
    TCliResult result;
    int rc = posix_spawn(&pid, argv[0], &files, &attr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&files);
    posix_spawnattr_destroy(&attr);
    if (rc != 0)
        return result;
    if (run.WhileRunning)
        run.WhileRunning(pid);
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(run.TimeLimitMs);
    int status = 0;
    while (waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    result.Status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    result.Out = out.Read("out");
    result.Err = out.Read("err");
    return result;
}
