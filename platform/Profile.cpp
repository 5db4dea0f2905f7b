// INI reader and writer; see Profile.h.
#include "platform/Profile.h"

#include "base/Text.h"
#include "base/Translate.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

struct Lines {
    std::vector<std::string> Items; // without their line ends
    std::string Eol = "\n";
};

bool LoadLines(const std::string& path, Lines& out) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    std::stringstream ss;
    ss << in.rdbuf();
    std::string text = ss.str();
    size_t pos = 0;
    bool eolKnown = false;
    while (pos < text.size()) {
        size_t nl = text.find('\n', pos);
        std::string line = text.substr(pos, nl == std::string::npos ? std::string::npos : nl - pos);
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
            if (!eolKnown)
                out.Eol = "\r\n";
        }
        eolKnown = eolKnown || nl != std::string::npos;
        out.Items.push_back(line);
        if (nl == std::string::npos)
            break;
        pos = nl + 1;
    }
    return true;
}

// "[name]" -> name; false for any other line.
bool SectionName(const std::string& line, std::string& name) {
    std::string t = Trim(line);
    if (t.size() < 2 || t.front() != '[')
        return false;
    size_t close = t.find(']');
    if (close == std::string::npos)
        return false;
    name = Trim(t.substr(1, close - 1));
    return true;
}

// "key=value" -> key, value; false when there is no "=".
bool KeyValue(const std::string& line, std::string& key, std::string& value) {
    size_t eq = line.find('=');
    if (eq == std::string::npos)
        return false;
    key = Trim(line.substr(0, eq));
    value = Trim(line.substr(eq + 1));
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
        value = value.substr(1, value.size() - 2);
    return true;
}

// The value as stored: quoted when reading would otherwise change it
// (blanks at an end, or a pair of surrounding quotes of its own).
std::string StoredValue(const std::string& value) {
    const bool blankEnd = !value.empty() && (static_cast<unsigned char>(value.front()) <= ' ' ||
                                             static_cast<unsigned char>(value.back()) <= ' ');
    const bool quoted = value.size() >= 2 && value.front() == '"' && value.back() == '"';
    return blankEnd || quoted ? "\"" + value + "\"" : value;
}

bool SaveLinesAtomically(const std::string& path, const Lines& lines) {
    std::string text;
    for (const std::string& l : lines.Items)
        text += l + lines.Eol;

    // A read-only file or folder is refused even for root, who would bypass
    // the permission bits: the user marked it read-only on purpose. The new
    // file is 0600 whatever the old one had: it may now hold the password.
    struct stat st;
    const mode_t mode = 0600;
    if (::stat(path.c_str(), &st) == 0) {
        if (!(st.st_mode & S_IWUSR) || ::access(path.c_str(), W_OK) != 0) {
            errno = EACCES;
            return false;
        }
    }
    std::string dir =
        path.find('/') == std::string::npos ? "." : path.substr(0, path.find_last_of('/') + 1);
    if (::stat(dir.c_str(), &st) != 0 || !(st.st_mode & S_IWUSR)) {
        errno = EACCES;
        return false;
    }
    std::string tmp = path + ".XXXXXX";
    std::vector<char> name(tmp.begin(), tmp.end());
    name.push_back('\0');
    int fd = ::mkstemp(name.data());
    if (fd < 0)
        return false;
    bool ok = ::fchmod(fd, mode) == 0;
    size_t done = 0;
    while (ok && done < text.size()) {
        ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        ok = n > 0;
        if (ok)
            done += static_cast<size_t>(n);
    }
    ok = ok && ::fsync(fd) == 0;
    int err = errno;
    ok = (::close(fd) == 0) && ok;
    if (ok && ::rename(name.data(), path.c_str()) == 0)
        return true;
    err = errno ? errno : err;
    ::unlink(name.data());
    errno = err;
    return false;
}

} // namespace

std::string ReadProfileString(const std::string& path, const std::string& section,
                              const std::string& key, const std::string& def) {
    Lines lines;
    if (!LoadLines(path, lines))
        return def;
    bool inSection = false;
    for (const std::string& line : lines.Items) {
        std::string name, k, v;
        if (SectionName(line, name)) {
            inSection = SameText(name, section);
            continue;
        }
        if (inSection && KeyValue(line, k, v) && SameText(k, key))
            return v.substr(0, ProfileValueLimit);
    }
    return def;
}

bool WriteProfileString(const std::string& path, const std::string& section, const std::string& key,
                        const std::string& value) {
    if (value.find_first_of("\r\n") != std::string::npos)
        throw EProfileValueError(
            Tr("Profile", "The setting %1 in section %2 cannot hold a line break.")
                .Arg(key, section));
    Lines lines;
    // An existing file we cannot read must not be replaced by one holding only this key.
    if (!LoadLines(path, lines) && ::access(path.c_str(), F_OK) == 0) {
        errno = EACCES;
        return false;
    }
    const std::string entry = key + "=" + StoredValue(value);

    bool inSection = false;
    size_t sectionEnd = std::string::npos; // index after the section's last key line
    for (size_t i = 0; i < lines.Items.size(); ++i) {
        std::string name, k, v;
        if (SectionName(lines.Items[i], name)) {
            if (inSection)
                break;
            inSection = SameText(name, section);
            if (inSection)
                sectionEnd = i + 1;
            continue;
        }
        if (!inSection)
            continue;
        if (KeyValue(lines.Items[i], k, v) && SameText(k, key)) {
            lines.Items[i] = entry;
            return SaveLinesAtomically(path, lines);
        }
        if (!Trim(lines.Items[i]).empty())
            sectionEnd = i + 1;
    }
    if (sectionEnd != std::string::npos) {
        lines.Items.insert(lines.Items.begin() + static_cast<long>(sectionEnd), entry);
    } else {
        if (!lines.Items.empty() && !Trim(lines.Items.back()).empty())
            lines.Items.push_back("");
        lines.Items.push_back("[" + section + "]");
        lines.Items.push_back(entry);
    }
    return SaveLinesAtomically(path, lines);
}
