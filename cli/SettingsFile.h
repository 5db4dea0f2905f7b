// The settings file as quillet-send reads it: it must be there and
// readable (all defaults could only send to nowhere), and the first value
// it cannot use ends the run, as a script is better stopped than sent on
// with a default it did not ask for.
#pragma once

#include "base/Exception.h"
#include "workflow/SendSettings.h"

#include <string>

class ESettingsError : public Exception {
public:
    using Exception::Exception;
};

// Reads path; raises ESettingsError for a file that cannot be read, a value
// that cannot be used (the sample rate only when recording, Level and
// Denoise only when a take is compressed) and, when sending, a SendType that
// names no way of sending.
TSettings ReadCheckedSettings(const std::string& path, bool recording, bool compressing,
                              bool sending);
