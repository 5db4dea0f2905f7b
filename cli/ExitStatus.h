// The exit statuses of quillet-send, one per kind of failure, so scripts
// can tell a typing mistake from a bad recording, a refused delivery, a
// broken settings file and a mail that waits in the outbox (75, as
// sysexits.h has it). The man page lists the same numbers.
#pragma once

enum TExitStatus : int {
    esDone = 0,      // sent, handed over or saved; also --help
    esUsage = 1,     // the command line is wrong
    esRecording = 2, // the recording cannot be read, made or compressed
    esDelivery = 3,  // not delivered or not saved, or cancelled by a signal
    esSettings = 4,  // the settings file is unreadable or holds a bad value
    esTempFail = 75, // EX_TEMPFAIL: in the outbox, to be sent later
};
