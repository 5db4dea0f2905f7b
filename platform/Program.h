// Where the program lives: its file and directory, found through
// /proc/self/exe. Companion files (settings, recording, help, provider
// library) are looked up in that directory.
#pragma once

#include <string>

// Full path of the running program file.
std::string ProgramFile();
// Directory of the program file, with a trailing "/".
std::string ProgramDir();
// Where the settings and the recording go, with a trailing "/": the program's
// directory while it is writable (for root: while it has a write bit), else
// an installed program's per-user directories, $XDG_CONFIG_HOME/quillet/
// (~/.config/quillet/) and $XDG_DATA_HOME/quillet/ (~/.local/share/quillet/),
// created with mode 0700 on first use.
std::string UserConfigDir();
std::string UserDataDir();
// The per-user cache, with a trailing "/": $XDG_CACHE_HOME/quillet/
// (~/.cache/quillet/), created with mode 0700 on first use.
std::string UserCacheDir();
// Replaces the extension of path's last component (or appends one).
std::string ChangeFileExt(const std::string& path, const std::string& ext);
// Last component of a path ("a/b/c.mp3" -> "c.mp3").
std::string ExtractFileName(const std::string& path);
// Directory part of a path with its trailing "/" ("a/b/c" -> "a/b/").
std::string ExtractFilePath(const std::string& path);
bool FileExists(const std::string& path);
// Deletes a file; true when it is gone afterwards (also when it never existed).
bool DeleteFile(const std::string& path);
