// The command line of quillet-send: its options, their checks and the
// usage text, the message text it names and the check of the --save
// folder; recording and sending are left to the caller. Options take their
// value as the next word or after "=".
#pragma once

#include "base/Exception.h"

#include <cstddef>
#include <string>
#include <vector>

// A command line that cannot be used; the message says why.
class EUsageError : public Exception {
public:
    using Exception::Exception;
};

struct TCliOptions {
    bool Help = false;
    bool Version = false;
    std::string To, Cc, Subject;
    std::string Text;         // --text, as given
    std::string TextFile;     // --text-file ("-": standard input)
    std::string WavFile;      // --wav
    double RecordSeconds = 0; // --record; 0 when not recording
    std::string SaveFile;     // --save
    std::string SettingsFile; // --settings; empty: the program's own
    std::string Device;       // --device; empty: the settings' [Audio] Device
    bool NoLevel = false;     // --no-level
    bool Denoise = false;     // --denoise
    bool SignIn = false;      // --sign-in: first sign in (OAuth 2.0)
    std::string Discover;     // --discover ADDRESS: only propose account settings
    // Sending is asked for (--to and the rest); false for --discover, a
    // lone --sign-in, --flush and --outbox.
    bool Send = true;
    bool NoQueue = false;    // --no-queue: a passing failure is not queued
    bool Flush = false;      // --flush: try every queued message now
    bool ListOutbox = false; // --outbox: list the queued messages
};

// The longest take --record accepts, in seconds.
constexpr double MaxRecordSeconds = 3600;
// The most --text-file reads, in bytes (1 MB).
constexpr size_t MaxTextFileBytes = 1048576;

// Parses the words after the program name. Raises EUsageError for an
// unknown or repeated option, a missing value, no --to, a line break in
// --to, --cc or --subject, a recipient or subject the send workflow would
// refuse (its message unchanged), both or neither of --wav and --record,
// both --text and --text-file, --device without a name or without
// --record, or a take length that is not a number in (0, MaxRecordSeconds].
// With --help or --version nothing else is checked;
// --discover takes no other option; --sign-in without --to only signs in;
// --flush and --outbox take --settings alone.
TCliOptions ParseCommandLine(const std::vector<std::string>& args);

// The usage text, ending in a line break.
std::string UsageText();

// The mail body from --text or --text-file: every line break as CR LF.
// Raises EUsageError when the text file cannot be read or holds more than
// MaxTextFileBytes.
std::string MessageBody(const TCliOptions& options);

// Raises EUsageError when the folder of --save does not exist, is no
// folder or cannot be written into, so no take is made in vain.
void CheckSaveFolder(const TCliOptions& options);
