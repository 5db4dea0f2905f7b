// Our Simple MAPI provider (libmapi32.so) for Linux desktops: sessions are
// handles we count out, a name resolves to itself, and MAPISendMail hands the
// mail to the default client through xdg-email, calling the thread's wait
// hook (QuilletMapiSetWaitHook) while it waits. Reading, finding, deleting,
// saving and the address book are not supported.
#include "mapi/MapiTypes.h"
#include "mapi/provider/XdgEmail.h"

#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <type_traits>

#define MAPI_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

std::mutex Lock;
std::set<MapiHandle> Sessions;
MapiHandle NextSession = 1;
std::set<void*> Buffers; // what MAPIResolveName handed out
// The registered wait hooks, one per thread. Not thread_local: the program
// unloads this library, and the thread-local storage of an unloaded
// library crashes LeakSanitizer's check at exit.
std::map<std::thread::id, TWaitHook> WaitHooks;

// The calling thread's wait hook; none when it registered none.
TWaitHook ThreadWaitHook() {
    std::lock_guard<std::mutex> guard(Lock);
    auto hook = WaitHooks.find(std::this_thread::get_id());
    return hook == WaitHooks.end() ? TWaitHook() : hook->second;
}

// Session 0 is the implicit session Simple MAPI allows without a logon.
bool ValidSession(MapiHandle session) {
    std::lock_guard<std::mutex> guard(Lock);
    return session == 0 || Sessions.count(session) > 0;
}

std::string TrimBlanks(const std::string& s) {
    const size_t first = s.find_first_not_of(" \t");
    if (first == std::string::npos)
        return std::string();
    return s.substr(first, s.find_last_not_of(" \t") - first + 1);
}

// True when name lists several recipients ("a@x, B <b@y>"): a "," or ";"
// outside double quotes.
bool IsList(const std::string& name) {
    bool inQuote = false;
    for (char c : name) {
        if (c == '"')
            inQuote = !inQuote;
        else if (!inQuote && (c == ',' || c == ';'))
            return true;
    }
    return false;
}

// "Name <addr>" and "Name [addr]" name their address; any other name, and a
// list of several (whose first address alone would drop the others), is one.
std::string AddressOfName(const std::string& name) {
    if (IsList(name))
        return TrimBlanks(name);
    for (const char* pair : {"<>", "[]"}) {
        const size_t open = name.find(pair[0]);
        const size_t close = open == std::string::npos ? open : name.find(pair[1], open + 1);
        if (close != std::string::npos) {
            const std::string inside = TrimBlanks(name.substr(open + 1, close - open - 1));
            if (!inside.empty())
                return inside;
        }
    }
    return TrimBlanks(name);
}

// One block holding the record and its two texts, freed by MAPIFreeBuffer.
MapiRecipDesc* NewRecipient(const std::string& name, const std::string& address) {
    const size_t size = sizeof(MapiRecipDesc) + name.size() + 1 + address.size() + 1;
    auto* block = static_cast<char*>(std::calloc(1, size));
    if (block == nullptr)
        return nullptr;
    auto* recip = reinterpret_cast<MapiRecipDesc*>(block);
    recip->ulRecipClass = MAPI_TO;
    recip->lpszName = block + sizeof(MapiRecipDesc);
    std::memcpy(recip->lpszName, name.c_str(), name.size() + 1);
    recip->lpszAddress = recip->lpszName + name.size() + 1;
    std::memcpy(recip->lpszAddress, address.c_str(), address.size() + 1);
    std::lock_guard<std::mutex> guard(Lock);
    Buffers.insert(block);
    return recip;
}

} // namespace

MAPI_EXPORT MapiULong MAPILogon(MapiUIParam, char*, char*, MapiULong, MapiULong,
                                MapiHandle* lplhSession) {
    if (lplhSession == nullptr)
        return MAPI_E_FAILURE;
    std::lock_guard<std::mutex> guard(Lock);
    *lplhSession = NextSession++;
    Sessions.insert(*lplhSession);
    return SUCCESS_SUCCESS;
}

MAPI_EXPORT MapiULong MAPILogoff(MapiHandle lhSession, MapiUIParam, MapiULong, MapiULong) {
    std::lock_guard<std::mutex> guard(Lock);
    return Sessions.erase(lhSession) > 0 ? SUCCESS_SUCCESS : MAPI_E_INVALID_SESSION;
}

MAPI_EXPORT MapiULong MAPIResolveName(MapiHandle lhSession, MapiUIParam, char* lpszName, MapiULong,
                                      MapiULong, MapiRecipDesc** lppRecip) {
    if (lppRecip == nullptr)
        return MAPI_E_FAILURE;
    *lppRecip = nullptr;
    if (!ValidSession(lhSession))
        return MAPI_E_INVALID_SESSION;
    // There is no address book: every name stands for itself.
    if (lpszName == nullptr || TrimBlanks(lpszName).empty())
        return MAPI_E_UNKNOWN_RECIPIENT;
    *lppRecip = NewRecipient(lpszName, AddressOfName(lpszName));
    return *lppRecip != nullptr ? SUCCESS_SUCCESS : MAPI_E_INSUFFICIENT_MEMORY;
}

MAPI_EXPORT MapiULong MAPIFreeBuffer(void* pv) {
    if (pv == nullptr)
        return SUCCESS_SUCCESS;
    {
        std::lock_guard<std::mutex> guard(Lock);
        // Never free what we did not hand out.
        if (Buffers.erase(pv) == 0)
            return MAPI_E_FAILURE;
    }
    std::free(pv);
    return SUCCESS_SUCCESS;
}

MAPI_EXPORT MapiULong MAPISendMail(MapiHandle lhSession, MapiUIParam, MapiMessage* lpMessage,
                                   MapiULong, MapiULong) {
    if (!ValidSession(lhSession))
        return MAPI_E_INVALID_SESSION;
    if (lpMessage == nullptr)
        return MAPI_E_FAILURE;
    std::vector<std::string> args;
    const MapiULong code = BuildXdgEmailArgs(*lpMessage, args);
    if (code != SUCCESS_SUCCESS)
        return code;
    return RunXdgEmail(args, ThreadWaitHook());
}

MAPI_EXPORT void QuilletMapiSetWaitHook(QuilletMapiWaitHookFunc* hook, void* context) {
    std::lock_guard<std::mutex> guard(Lock);
    if (hook != nullptr)
        WaitHooks[std::this_thread::get_id()] = TWaitHook{hook, context};
    else
        WaitHooks.erase(std::this_thread::get_id());
}

MAPI_EXPORT MapiULong MAPISaveMail(MapiHandle, MapiUIParam, MapiMessage*, MapiULong, MapiULong,
                                   char*) {
    return MAPI_E_NOT_SUPPORTED;
}

MAPI_EXPORT MapiULong MAPIReadMail(MapiHandle, MapiUIParam, char*, MapiULong, MapiULong,
                                   MapiMessage** lppMessage) {
    if (lppMessage != nullptr)
        *lppMessage = nullptr;
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
                                  MapiRecipDesc*, MapiULong, MapiULong, MapiULong* lpnNewRecips,
                                  MapiRecipDesc** lppNewRecips) {
    if (lpnNewRecips != nullptr)
        *lpnNewRecips = 0;
    if (lppNewRecips != nullptr)
        *lppNewRecips = nullptr;
    return MAPI_E_NOT_SUPPORTED;
}

// The exports must keep the shapes the binding casts them to.
static_assert(std::is_same_v<decltype(MAPILogon), MAPILogonFunc>);
static_assert(std::is_same_v<decltype(MAPILogoff), MAPILogoffFunc>);
static_assert(std::is_same_v<decltype(MAPIResolveName), MAPIResolveNameFunc>);
static_assert(std::is_same_v<decltype(MAPIFreeBuffer), MAPIFreeBufferFunc>);
static_assert(std::is_same_v<decltype(MAPISendMail), MAPISendMailFunc>);
static_assert(std::is_same_v<decltype(MAPISaveMail), MAPISaveMailFunc>);
static_assert(std::is_same_v<decltype(MAPIReadMail), MAPIReadMailFunc>);
static_assert(std::is_same_v<decltype(MAPIFindNext), MAPIFindNextFunc>);
static_assert(std::is_same_v<decltype(MAPIDeleteMail), MAPIDeleteMailFunc>);
static_assert(std::is_same_v<decltype(MAPIAddress), MAPIAddressFunc>);
static_assert(std::is_same_v<decltype(QuilletMapiSetWaitHook), QuilletMapiSetWaitHookFunc>);
