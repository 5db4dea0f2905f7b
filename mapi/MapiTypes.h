// Simple MAPI as the binding and our provider library both see it: the
// message, recipient and file records with native pointer size, the flags
// and result codes, and the types of the ten entry points (and of our
// provider's wait hook). Written from the published record and function
// descriptions; nothing here talks to a library.
#pragma once

#include <cstdint>

extern "C" {

// Counts, flags and codes are 32-bit; handles and UI parameters are pointer-sized.
typedef uint32_t MapiULong;
typedef uintptr_t MapiHandle;
typedef uintptr_t MapiUIParam;

struct MapiRecipDesc {
    MapiULong ulReserved;
    MapiULong ulRecipClass; // MAPI_ORIG, MAPI_TO, MAPI_CC, MAPI_BCC
    char* lpszName;
    char* lpszAddress;
    MapiULong ulEIDSize;
    void* lpEntryID;
};

struct MapiFileDesc {
    MapiULong ulReserved;
    MapiULong flFlags;
    MapiULong nPosition; // (MapiULong)-1: the client places the file
    char* lpszPathName;
    char* lpszFileName;
    void* lpFileType;
};

struct MapiMessage {
    MapiULong ulReserved;
    char* lpszSubject;
    char* lpszNoteText;
    char* lpszMessageType;
    char* lpszDateReceived;
    char* lpszConversationID;
    MapiULong flFlags;
    MapiRecipDesc* lpOriginator;
    MapiULong nRecipCount;
    MapiRecipDesc* lpRecips;
    MapiULong nFileCount;
    MapiFileDesc* lpFiles;
};

typedef MapiULong MAPILogonFunc(MapiUIParam ulUIParam, char* lpszProfileName, char* lpszPassword,
                                MapiULong flFlags, MapiULong ulReserved, MapiHandle* lplhSession);
typedef MapiULong MAPILogoffFunc(MapiHandle lhSession, MapiUIParam ulUIParam, MapiULong flFlags,
                                 MapiULong ulReserved);
typedef MapiULong MAPISendMailFunc(MapiHandle lhSession, MapiUIParam ulUIParam,
                                   MapiMessage* lpMessage, MapiULong flFlags, MapiULong ulReserved);
typedef MapiULong MAPISaveMailFunc(MapiHandle lhSession, MapiUIParam ulUIParam,
                                   MapiMessage* lpMessage, MapiULong flFlags, MapiULong ulReserved,
                                   char* lpszMessageID);
typedef MapiULong MAPIReadMailFunc(MapiHandle lhSession, MapiUIParam ulUIParam, char* lpszMessageID,
                                   MapiULong flFlags, MapiULong ulReserved,
                                   MapiMessage** lppMessage);
typedef MapiULong MAPIFindNextFunc(MapiHandle lhSession, MapiUIParam ulUIParam,
                                   char* lpszMessageType, char* lpszSeedMessageID,
                                   MapiULong flFlags, MapiULong ulReserved, char* lpszMessageID);
typedef MapiULong MAPIDeleteMailFunc(MapiHandle lhSession, MapiUIParam ulUIParam,
                                     char* lpszMessageID, MapiULong flFlags, MapiULong ulReserved);
typedef MapiULong MAPIAddressFunc(MapiHandle lhSession, MapiUIParam ulUIParam, char* lpszCaption,
                                  MapiULong nEditFields, char* lpszLabels, MapiULong nRecips,
                                  MapiRecipDesc* lpRecips, MapiULong flFlags, MapiULong ulReserved,
                                  MapiULong* lpnNewRecips, MapiRecipDesc** lppNewRecips);
typedef MapiULong MAPIResolveNameFunc(MapiHandle lhSession, MapiUIParam ulUIParam, char* lpszName,
                                      MapiULong flFlags, MapiULong ulReserved,
                                      MapiRecipDesc** lppRecip);
typedef MapiULong MAPIFreeBufferFunc(void* pv);

// Our provider's one addition to Simple MAPI, looked up by name and
// optional: a program that must stay responsive while the mail client
// takes the mail registers a wait hook for its thread, which MAPISendMail
// calls about every 10 ms while it waits. A non-zero answer gives the send
// up: the client is ended and MAPISendMail returns MAPI_E_USER_ABORT. A
// null hook removes the thread's hook.
typedef MapiULong QuilletMapiWaitHookFunc(void* context);
typedef void QuilletMapiSetWaitHookFunc(QuilletMapiWaitHookFunc* hook, void* context);

} // extern "C"

// Recipient classes.
constexpr MapiULong MAPI_ORIG = 0;
constexpr MapiULong MAPI_TO = 1;
constexpr MapiULong MAPI_CC = 2;
constexpr MapiULong MAPI_BCC = 3;

// Flags.
constexpr MapiULong MAPI_LOGON_UI = 0x00000001;
constexpr MapiULong MAPI_NEW_SESSION = 0x00000002;
constexpr MapiULong MAPI_DIALOG = 0x00000008;
constexpr MapiULong MAPI_FORCE_DOWNLOAD = 0x00001000;
constexpr MapiULong MAPI_RECEIPT_REQUESTED = 0x00000002; // message flag

// Result codes.
constexpr MapiULong SUCCESS_SUCCESS = 0;
constexpr MapiULong MAPI_E_USER_ABORT = 1;
constexpr MapiULong MAPI_E_FAILURE = 2;
constexpr MapiULong MAPI_E_LOGIN_FAILURE = 3;
constexpr MapiULong MAPI_E_DISK_FULL = 4;
constexpr MapiULong MAPI_E_INSUFFICIENT_MEMORY = 5;
constexpr MapiULong MAPI_E_ACCESS_DENIED = 6;
constexpr MapiULong MAPI_E_TOO_MANY_SESSIONS = 8;
constexpr MapiULong MAPI_E_TOO_MANY_FILES = 9;
constexpr MapiULong MAPI_E_TOO_MANY_RECIPIENTS = 10;
constexpr MapiULong MAPI_E_ATTACHMENT_NOT_FOUND = 11;
constexpr MapiULong MAPI_E_ATTACHMENT_OPEN_FAILURE = 12;
constexpr MapiULong MAPI_E_ATTACHMENT_WRITE_FAILURE = 13;
constexpr MapiULong MAPI_E_UNKNOWN_RECIPIENT = 14;
constexpr MapiULong MAPI_E_BAD_RECIPTYPE = 15;
constexpr MapiULong MAPI_E_NO_MESSAGES = 16;
constexpr MapiULong MAPI_E_INVALID_MESSAGE = 17;
constexpr MapiULong MAPI_E_TEXT_TOO_LARGE = 18;
constexpr MapiULong MAPI_E_INVALID_SESSION = 19;
constexpr MapiULong MAPI_E_TYPE_NOT_SUPPORTED = 20;
constexpr MapiULong MAPI_E_AMBIGUOUS_RECIPIENT = 21;
constexpr MapiULong MAPI_E_MESSAGE_IN_USE = 22;
constexpr MapiULong MAPI_E_NETWORK_FAILURE = 23;
constexpr MapiULong MAPI_E_INVALID_EDITFIELDS = 24;
constexpr MapiULong MAPI_E_INVALID_RECIPS = 25;
constexpr MapiULong MAPI_E_NOT_SUPPORTED = 26;
