// xdg-email as the mail client behind our Simple MAPI provider: recipients
// as --to/--cc/--bcc, then --subject, --body (with LF line ends) and one
// --attach per file, every text whole. The composer always opens, so
// MAPI_DIALOG needs no handling of its own.
#include "mapi/provider/XdgEmail.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

bool StartsWithSmtp(const std::string& s) {
    static const char prefix[] = "smtp:";
    if (s.size() < 5)
        return false;
    for (size_t i = 0; i < 5; ++i) {
        char c = s[i];
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
        if (c != prefix[i])
            return false;
    }
    return true;
}

// xdg-email takes LF line ends; a CR LF (or a lone CR) would become two
// line breaks in the composer.
std::string WithLfLineEnds(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r') {
            out += '\n';
            if (i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

bool IsRegularFile(const char* path) {
    struct stat st;
    return path != nullptr && *path != '\0' && stat(path, &st) == 0 && S_ISREG(st.st_mode);
}

} // namespace

std::string XdgEmailAddress(const MapiRecipDesc& recip) {
    std::string address;
    if (recip.lpszAddress != nullptr && *recip.lpszAddress != '\0')
        address = recip.lpszAddress;
    else if (recip.lpszName != nullptr)
        address = recip.lpszName;
    if (StartsWithSmtp(address))
        address.erase(0, 5);
    return address;
}

MapiULong BuildXdgEmailArgs(const MapiMessage& message, std::vector<std::string>& args) {
    args.clear();
    for (MapiULong i = 0; message.lpRecips != nullptr && i < message.nRecipCount; ++i) {
        const MapiRecipDesc& recip = message.lpRecips[i];
        const char* option = nullptr;
        switch (recip.ulRecipClass) {
        case MAPI_ORIG:
            continue; // the client knows its own sender
        case MAPI_TO:
            option = "--to";
            break;
        case MAPI_CC:
            option = "--cc";
            break;
        case MAPI_BCC:
            option = "--bcc";
            break;
        default:
            return MAPI_E_BAD_RECIPTYPE;
        }
        const std::string address = XdgEmailAddress(recip);
        if (address.empty())
            continue; // xdg-email refuses an empty address; the user adds one
        args.push_back(option);
        args.push_back(address);
    }
    // xdg-email refuses empty values, and an empty subject or body is no subject or body.
    if (message.lpszSubject != nullptr && *message.lpszSubject != '\0') {
        args.push_back("--subject");
        args.push_back(message.lpszSubject);
    }
    if (message.lpszNoteText != nullptr && *message.lpszNoteText != '\0') {
        args.push_back("--body");
        args.push_back(WithLfLineEnds(message.lpszNoteText));
    }
    for (MapiULong i = 0; message.lpFiles != nullptr && i < message.nFileCount; ++i) {
        const char* path = message.lpFiles[i].lpszPathName;
        if (!IsRegularFile(path))
            return MAPI_E_ATTACHMENT_NOT_FOUND;
        args.push_back("--attach");
        args.push_back(path);
    }
    return SUCCESS_SUCCESS;
}

MapiULong RunXdgEmail(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>("xdg-email"));
    for (const std::string& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    // The client gets no terminal input; its chatter is not ours to show.
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int err = posix_spawnp(&pid, "xdg-email", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (err != 0)
        return MAPI_E_FAILURE;

    int status = 0;
    pid_t waited;
    do {
        waited = waitpid(pid, &status, 0);
    } while (waited < 0 && errno == EINTR);
    if (waited != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return MAPI_E_FAILURE;
    return SUCCESS_SUCCESS;
}
