// A Simple MAPI provider for the tests: records each call and the records it
// is given, answers with scripted codes and names, and wipes every buffer it
// frees so a caller that keeps using one is caught. Built a second time
// without MAPISaveMail to stand for an incomplete provider.
#include "tests/mapi/TestProvider.h"

#include <cstdio>
#include <cstring>
#include <memory>

#define MAPI_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

TTestProviderState State;

std::string Text(const char* s) {
    return s ? s : "<null>";
}

std::string Hex(MapiULong v) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%x", static_cast<unsigned>(v));
    return buf;
}

std::optional<std::string> Optional(const char* s) {
    return s ? std::optional<std::string>(s) : std::nullopt;
}

// The record and its texts in one block, as a real provider would hand out.
struct TResolvedBlock {
    MapiRecipDesc Recip;
    char Name[512];
    char Address[512];
    unsigned char EntryID[64];
};

// Freed blocks stay here, wiped, until the library is unloaded: a caller
// still reading one sees the wipe instead of whatever the heap left.
std::vector<std::unique_ptr<TResolvedBlock>> Freed;

} // namespace

MAPI_EXPORT TTestProviderState* TestProviderState() {
    return &State;
}

MAPI_EXPORT MapiULong MAPILogon(MapiUIParam, char* lpszProfileName, char* lpszPassword,
                                MapiULong flFlags, MapiULong, MapiHandle* lplhSession) {
    State.Log.push_back("MAPILogon(" + Text(lpszProfileName) + "," + Text(lpszPassword) + "," +
                        Hex(flFlags) + ")");
    MapiULong code = 0;
    if (!State.LogonCodes.empty()) {
        code = State.LogonCodes.front();
        State.LogonCodes.pop_front();
    }
    // A failing logon still scribbles a handle, which the caller must not keep.
    *lplhSession = code == 0 ? State.NextSession++ : 0xDEAD;
    return code;
}

MAPI_EXPORT MapiULong MAPILogoff(MapiHandle lhSession, MapiUIParam, MapiULong, MapiULong) {
    State.Log.push_back("MAPILogoff(" + std::to_string(lhSession) + ")");
    return State.LogoffCode;
}

MAPI_EXPORT MapiULong MAPIResolveName(MapiHandle, MapiUIParam, char* lpszName, MapiULong flFlags,
                                      MapiULong, MapiRecipDesc** lppRecip) {
    const std::string name = Text(lpszName);
    State.Log.push_back("MAPIResolveName(" + name + "," + Hex(flFlags) + ")");
    TTestResolveAnswer answer{0, name, name, {}};
    auto it = State.Resolve.find(name);
    if (it != State.Resolve.end() && !it->second.empty()) {
        answer = it->second.front();
        it->second.pop_front();
    }
    *lppRecip = nullptr;
    if (answer.Code != 0)
        return answer.Code;
    auto* block = new TResolvedBlock();
    block->Recip.ulRecipClass = MAPI_TO;
    std::snprintf(block->Name, sizeof block->Name, "%s", answer.Name.c_str());
    block->Recip.lpszName = block->Name;
    if (answer.Address) {
        std::snprintf(block->Address, sizeof block->Address, "%s", answer.Address->c_str());
        block->Recip.lpszAddress = block->Address;
    }
    if (!answer.EntryID.empty()) {
        std::memcpy(block->EntryID, answer.EntryID.data(), answer.EntryID.size());
        block->Recip.ulEIDSize = static_cast<MapiULong>(answer.EntryID.size());
        block->Recip.lpEntryID = block->EntryID;
    }
    ++State.LiveBuffers;
    *lppRecip = &block->Recip;
    return 0;
}

MAPI_EXPORT MapiULong MAPIFreeBuffer(void* pv) {
    State.Log.push_back("MAPIFreeBuffer");
    if (pv != nullptr) {
        auto* block = reinterpret_cast<TResolvedBlock*>(pv);
        std::memset(static_cast<void*>(block), 0xA5, sizeof *block);
        Freed.emplace_back(block);
        --State.LiveBuffers;
    }
    return 0;
}

MAPI_EXPORT MapiULong MAPISendMail(MapiHandle lhSession, MapiUIParam, MapiMessage* m,
                                   MapiULong flFlags, MapiULong) {
    State.Log.push_back("MAPISendMail(" + Hex(flFlags) + ")");
    TTestMessage sent;
    sent.Session = lhSession;
    sent.SendFlags = flFlags;
    sent.Reserved = m->ulReserved;
    sent.Subject = Optional(m->lpszSubject);
    sent.NoteText = Optional(m->lpszNoteText);
    sent.MessageTypeNull = m->lpszMessageType == nullptr;
    sent.DateReceivedNull = m->lpszDateReceived == nullptr;
    sent.ConversationIDNull = m->lpszConversationID == nullptr;
    sent.Flags = m->flFlags;
    sent.OriginatorNull = m->lpOriginator == nullptr;
    sent.RecipCount = m->nRecipCount;
    sent.RecipsNull = m->lpRecips == nullptr;
    for (MapiULong i = 0; m->lpRecips != nullptr && i < m->nRecipCount; ++i) {
        const MapiRecipDesc& r = m->lpRecips[i];
        TTestRecip recip{r.ulReserved,         r.ulRecipClass,
                         Optional(r.lpszName), Optional(r.lpszAddress),
                         r.ulEIDSize,          {}};
        if (r.lpEntryID != nullptr) {
            const auto* eid = static_cast<const unsigned char*>(r.lpEntryID);
            recip.EntryID.assign(eid, eid + r.ulEIDSize);
        }
        sent.Recips.push_back(recip);
    }
    sent.FileCount = m->nFileCount;
    sent.FilesNull = m->lpFiles == nullptr;
    for (MapiULong i = 0; m->lpFiles != nullptr && i < m->nFileCount; ++i) {
        const MapiFileDesc& f = m->lpFiles[i];
        sent.Files.push_back({f.ulReserved, f.flFlags, f.nPosition, Optional(f.lpszPathName),
                              Optional(f.lpszFileName), f.lpFileType == nullptr});
    }
    State.Sent.push_back(sent);
    return State.SendCode;
}

#ifndef TEST_PROVIDER_WITHOUT_SAVEMAIL
MAPI_EXPORT MapiULong MAPISaveMail(MapiHandle, MapiUIParam, MapiMessage*, MapiULong, MapiULong,
                                   char*) {
    State.Log.push_back("MAPISaveMail");
    return MAPI_E_NOT_SUPPORTED;
}
#endif

MAPI_EXPORT MapiULong MAPIReadMail(MapiHandle, MapiUIParam, char*, MapiULong, MapiULong,
                                   MapiMessage**) {
    return MAPI_E_NOT_SUPPORTED;
}

MAPI_EXPORT MapiULong MAPIFindNext(MapiHandle, MapiUIParam, char*, char*, MapiULong, MapiULong,
                                   char*) {
    return MAPI_E_NOT_SUPPORTED;
}

MAPI_EXPORT MapiULong MAPIDeleteMail(MapiHandle, MapiUIParam, char*, MapiULong, MapiULong) {
    return MAPI_E_NOT_SUPPORTED;
}

MAPI_EXPORT MapiULong MAPIAddress(MapiHandle, MapiUIParam, char*, MapiULong, char*, MapiULong,
                                  MapiRecipDesc*, MapiULong, MapiULong, MapiULong*,
                                  MapiRecipDesc**) {
    return MAPI_E_NOT_SUPPORTED;
}
