// The recording Simple MAPI provider the TEmail tests load in place of ours:
// every call is appended to Log, every record handed to MAPISendMail is
// copied, and the codes and resolved names it answers are scripted.
#pragma once

#include "mapi/MapiTypes.h"

#include <deque>
#include <map>
#include <optional>
#include <string>
#include <vector>

struct TTestRecip {
    MapiULong Reserved = 0;
    MapiULong Class = 0;
    std::optional<std::string> Name, Address; // nullopt: the pointer was null
    MapiULong EIDSize = 0;
    std::vector<unsigned char> EntryID; // empty when lpEntryID was null
};

struct TTestFile {
    MapiULong Reserved = 0, Flags = 0, Position = 0;
    std::optional<std::string> Path, FileName;
    bool FileTypeNull = false;
};

struct TTestMessage {
    MapiHandle Session = 0;
    MapiULong SendFlags = 0;
    MapiULong Reserved = 0;
    std::optional<std::string> Subject, NoteText;
    bool MessageTypeNull = false, DateReceivedNull = false, ConversationIDNull = false;
    MapiULong Flags = 0;
    bool OriginatorNull = false;
    MapiULong RecipCount = 0;
    bool RecipsNull = false;
    std::vector<TTestRecip> Recips;
    MapiULong FileCount = 0;
    bool FilesNull = false;
    std::vector<TTestFile> Files;
};

// One scripted answer of MAPIResolveName.
struct TTestResolveAnswer {
    MapiULong Code = 0;
    std::string Name;
    std::optional<std::string> Address; // nullopt: lpszAddress null
    std::vector<unsigned char> EntryID;
};

struct TTestProviderState {
    // "MAPILogon(profile,password,0x1)" ("<null>" for null texts),
    // "MAPIResolveName(name,0x8)", "MAPIFreeBuffer", "MAPISendMail(0x8)",
    // "MAPILogoff(session)"; the tests add their events to the same log.
    std::vector<std::string> Log;
    std::deque<MapiULong> LogonCodes; // one per MAPILogon; 0 when used up
    // Per name, answers in order; without one a name resolves to itself.
    std::map<std::string, std::deque<TTestResolveAnswer>> Resolve;
    MapiULong SendCode = 0;
    MapiULong LogoffCode = 0;
    std::vector<TTestMessage> Sent;
    int LiveBuffers = 0; // handed out by MAPIResolveName, not yet freed
    MapiHandle NextSession = 100;

    void Reset() { *this = TTestProviderState(); }
};

// Exported by the test provider; found with dlsym.
extern "C" TTestProviderState* TestProviderState();
typedef TTestProviderState* TestProviderStateFunc();
