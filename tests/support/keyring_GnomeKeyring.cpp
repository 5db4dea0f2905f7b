// Launcher of the private bus and gnome-keyring; see keyring_GnomeKeyring.h.
#include "tests/support/keyring_GnomeKeyring.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <gio/gio.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

// The password that unlocks the test's login keyring (an empty one would
// leave the keyring to be created through a prompt).
const char* const LoginPassword = "quillet-test";

void WriteText(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

// Starts argv with the environment env; stdin from stdinFd (or /dev/null),
// stdout and stderr to logPath. -1 when it cannot start.
pid_t Spawn(const std::vector<std::string>& args, const std::vector<std::string>& env,
            const std::string& logPath, int stdinFd = -1) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (stdinFd >= 0)
        posix_spawn_file_actions_adddup2(&actions, stdinFd, 0);
    else
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, logPath.c_str(), O_WRONLY | O_CREAT | O_APPEND,
                                     0600);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    std::vector<std::string> a = args, e = env;
    std::vector<char*> argv, envp;
    for (auto& s : a)
        argv.push_back(s.data());
    argv.push_back(nullptr);
    for (auto& s : e)
        envp.push_back(s.data());
    envp.push_back(nullptr);
    pid_t pid = -1;
    if (::posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0)
        pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

void Stop(pid_t pid) {
    if (pid <= 0)
        return;
    ::kill(pid, SIGTERM);
    int status;
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    while (::waitpid(pid, &status, WNOHANG) != pid) {
        if (std::chrono::steady_clock::now() > end) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

// One method call on a fresh connection to the bus; nullptr on failure.
GVariant* Call(const std::string& address, const char* dest, const char* path, const char* iface,
               const char* method, GVariant* args) {
    GError* error = nullptr;
    GDBusConnection* bus = g_dbus_connection_new_for_address_sync(
        address.c_str(),
        GDBusConnectionFlags(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                             G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
        nullptr, nullptr, &error);
    if (!bus) {
        g_error_free(error);
        if (args)
            g_variant_unref(g_variant_ref_sink(args));
        return nullptr;
    }
    GVariant* reply =
        g_dbus_connection_call_sync(bus, dest, path, iface, method, args, nullptr,
                                    G_DBUS_CALL_FLAGS_NO_AUTO_START, 2000, nullptr, &error);
    if (error)
        g_error_free(error);
    g_dbus_connection_close_sync(bus, nullptr, nullptr);
    g_object_unref(bus);
    return reply;
}

// The login collection answers as the default one.
bool LoginReady(const std::string& address) {
    GVariant* reply =
        Call(address, "org.freedesktop.secrets", "/org/freedesktop/secrets",
             "org.freedesktop.Secret.Service", "ReadAlias", g_variant_new("(s)", "default"));
    if (!reply)
        return false;
    const gchar* path = nullptr;
    g_variant_get(reply, "(&o)", &path);
    bool ready = std::string(path) != "/";
    g_variant_unref(reply);
    return ready;
}

} // namespace

TKeyringGnomeKeyring::TKeyringGnomeKeyring(TKind kind) {
    char tmpl[] = "/tmp/quillet-keyring-XXXXXX";
    if (!::mkdtemp(tmpl)) {
        FFailure = "cannot create a temporary directory";
        return;
    }
    FDir = tmpl;
    for (const char* sub : {"/home", "/data", "/config", "/cache", "/run", "/services"})
        ::mkdir((FDir + sub).c_str(), 0700);
    // A session bus that activates only what services/ holds.
    WriteText(FDir + "/bus.conf",
              "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
              " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
              "<busconfig><type>session</type><listen>unix:path=" +
                  FDir + "/bus</listen><auth>EXTERNAL</auth><servicedir>" + FDir +
                  "/services</servicedir><policy context=\"default\"><allow "
                  "send_destination=\"*\" eavesdrop=\"true\"/><allow eavesdrop=\"true\"/><allow "
                  "own=\"*\"/></policy></busconfig>\n");
    if (kind == StalledService)
        WriteText(FDir + "/services/org.freedesktop.secrets.service",
                  "[D-BUS Service]\nName=org.freedesktop.secrets\nExec=/bin/sleep 3\n");
    std::string log = FDir + "/log.txt";
    std::vector<std::string> env = {"PATH=/usr/bin:/bin",
                                    "HOME=" + FDir + "/home",
                                    "XDG_DATA_HOME=" + FDir + "/data",
                                    "XDG_CONFIG_HOME=" + FDir + "/config",
                                    "XDG_CACHE_HOME=" + FDir + "/cache",
                                    "XDG_RUNTIME_DIR=" + FDir + "/run"};
    FBusPid =
        Spawn({"dbus-daemon", "--config-file=" + FDir + "/bus.conf", "--nofork", "--nopidfile"},
              env, log);
    if (FBusPid < 0) {
        FFailure = "dbus-daemon cannot be started (package dbus-daemon)";
        return;
    }
    FAddress = "unix:path=" + FDir + "/bus";
    env.push_back("DBUS_SESSION_BUS_ADDRESS=" + FAddress);
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!Call(FAddress, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                 "GetId", nullptr)) {
        if (std::chrono::steady_clock::now() > end) {
            FFailure = "the private session bus did not come up";
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (kind != Keyring)
        return;
    // Close-on-exec: the daemon reads the password up to end of file, which
    // it never sees while it holds the writing end itself.
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) {
        FFailure = "no pipe";
        return;
    }
    FKeyringPid =
        Spawn({"gnome-keyring-daemon", "--foreground", "--components=secrets", "--unlock"}, env,
              log, pipeFds[0]);
    ::close(pipeFds[0]);
    (void)!::write(pipeFds[1], LoginPassword, std::char_traits<char>::length(LoginPassword));
    ::close(pipeFds[1]);
    if (FKeyringPid < 0) {
        FFailure = "gnome-keyring-daemon cannot be started (package gnome-keyring)";
        return;
    }
    while (!LoginReady(FAddress)) {
        int status;
        if (::waitpid(FKeyringPid, &status, WNOHANG) == FKeyringPid) {
            FKeyringPid = -1;
            FFailure = "gnome-keyring-daemon ended at once; see " + log;
            return;
        }
        if (std::chrono::steady_clock::now() > end) {
            FFailure = "gnome-keyring-daemon offers no unlocked login keyring; see " + log;
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

TKeyringGnomeKeyring::~TKeyringGnomeKeyring() {
    Stop(FKeyringPid);
    Stop(FBusPid);
    if (!FDir.empty()) {
        std::string cmd = "rm -rf '" + FDir + "'";
        (void)!std::system(cmd.c_str());
    }
}

bool TKeyringGnomeKeyring::LockLogin() const {
    GVariant* reply =
        Call(FAddress, "org.freedesktop.secrets", "/org/freedesktop/secrets",
             "org.freedesktop.Secret.Service", "Lock",
             g_variant_new_parsed("([objectpath '/org/freedesktop/secrets/collection/login'],)"));
    if (!reply)
        return false;
    g_variant_unref(reply);
    return true;
}
