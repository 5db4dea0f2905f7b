// Process start over posix_spawn; see Process.h.
#include "platform/Process.h"

#include "platform/Program.h"

#include <cerrno>
#include <chrono>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

std::vector<std::string> SplitCommandLine(const std::string& commandLine) {
    std::vector<std::string> words;
    std::string word;
    bool inWord = false, quoted = false;
    for (char c : commandLine) {
        if (c == '"') {
            quoted = !quoted;
            inWord = true;
        } else if ((c == ' ' || c == '\t') && !quoted) {
            if (inWord)
                words.push_back(word);
            word.clear();
            inWord = false;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (inWord)
        words.push_back(word);
    return words;
}

static bool IsExecutable(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
           ::access(path.c_str(), X_OK) == 0;
}

static std::string FindOne(const std::string& word) {
    if (word.find('/') != std::string::npos)
        return IsExecutable(word) ? word : std::string();
    std::string inDir = ProgramDir() + word;
    if (IsExecutable(inDir))
        return inDir;
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/local/bin:/usr/bin:/bin";
    size_t pos = 0;
    while (pos <= dirs.size()) {
        size_t colon = dirs.find(':', pos);
        std::string dir =
            dirs.substr(pos, colon == std::string::npos ? std::string::npos : colon - pos);
        std::string candidate = (dir.empty() ? std::string(".") : dir) + "/" + word;
        if (IsExecutable(candidate))
            return candidate;
        if (colon == std::string::npos)
            break;
        pos = colon + 1;
    }
    return std::string();
}

std::string FindProgram(const std::string& word) {
    if (word.empty())
        return std::string();
    std::string found = FindOne(word);
    const std::string ext = ".exe";
    if (found.empty() && word.size() > ext.size()) {
        std::string tail = word.substr(word.size() - ext.size());
        for (char& c : tail)
            c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
        if (tail == ext)
            found = FindOne(word.substr(0, word.size() - ext.size()));
    }
    return found;
}

// Spawns the program with stdio on /dev/null; returns the pid or -1.
static pid_t Spawn(const std::vector<std::string>& words, const std::string& workDir) {
    if (words.empty())
        return -1;
    std::string program = FindProgram(words[0]);
    if (program.empty())
        return -1;
    if (!workDir.empty()) {
        struct stat st;
        if (::stat(workDir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
            return -1;
    }
    std::vector<char*> argv;
    for (const std::string& w : words)
        argv.push_back(const_cast<char*>(w.c_str()));
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    if (!workDir.empty())
        posix_spawn_file_actions_addchdir_np(&actions, workDir.c_str());
    pid_t pid = -1;
    int rc = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return rc == 0 ? pid : -1;
}

static int ExitCodeOf(int status) {
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

int RunAndWait(const std::string& commandLine, const std::string& workDir, int* exitCode) {
    pid_t pid = Spawn(SplitCommandLine(commandLine), workDir);
    if (pid < 0)
        return -1;
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR)
            return -1;
    }
    if (exitCode)
        *exitCode = ExitCodeOf(status);
    return 0;
}

TChildProcess::~TChildProcess() {
    Terminate(0);
}

bool TChildProcess::Start(const std::string& commandLine, const std::string& workDir) {
    Terminate(0);
    FExitCode = 0;
    FPid = Spawn(SplitCommandLine(commandLine), workDir);
    return FPid > 0;
}

bool TChildProcess::Poll() {
    if (FPid <= 0)
        return true;
    int status = 0;
    pid_t r = ::waitpid(FPid, &status, WNOHANG);
    if (r == 0 || (r < 0 && errno == EINTR))
        return false;
    FExitCode = r == FPid ? ExitCodeOf(status) : -1;
    FPid = -1;
    return true;
}

void TChildProcess::Terminate(int graceMs) {
    if (FPid <= 0 || Poll())
        return;
    ::kill(FPid, SIGTERM);
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(graceMs);
    while (std::chrono::steady_clock::now() < until) {
        if (Poll())
            return;
        ::usleep(2000);
    }
    ::kill(FPid, SIGKILL);
    int status = 0;
    while (::waitpid(FPid, &status, 0) < 0 && errno == EINTR) {
    }
    FExitCode = ExitCodeOf(status);
    FPid = -1;
}

long long TChildProcess::FilePosition(const std::string& path) const {
    if (FPid <= 0)
        return -1;
    char real[PATH_MAX];
    if (!::realpath(path.c_str(), real))
        return -1;
    const std::string procDir = "/proc/" + std::to_string(FPid);
    DIR* dir = ::opendir((procDir + "/fd").c_str());
    if (!dir)
        return -1;
    long long pos = -1;
    while (dirent* e = ::readdir(dir)) {
        if (e->d_name[0] == '.')
            continue;
        char target[PATH_MAX];
        std::string link = procDir + "/fd/" + e->d_name;
        ssize_t n = ::readlink(link.c_str(), target, sizeof target - 1);
        if (n <= 0)
            continue;
        target[n] = '\0';
        if (std::string(target) != real)
            continue;
        if (FILE* info = std::fopen((procDir + "/fdinfo/" + e->d_name).c_str(), "r")) {
            if (std::fscanf(info, "pos: %lld", &pos) != 1)
                pos = -1;
            std::fclose(info);
        }
        break;
    }
    ::closedir(dir);
    return pos;
}

bool StartDetached(const std::vector<std::string>& argv) {
    pid_t pid = Spawn(argv, std::string());
    if (pid < 0)
        return false;
    // Reap the child off the GUI thread so no zombie is left behind.
    std::thread([pid] {
        int status;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
    }).detach();
    return true;
}

void ShellOpen(const std::string& target) {
    StartDetached({"xdg-open", target});
}
