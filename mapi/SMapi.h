// SMapi: the process-wide binding to the Simple MAPI provider library. At
// start-up the provider (libmapi32.so) is looked for beside the program and
// then on the loader's search path, loaded with dlopen and its ten entry
// points looked up by name (and our provider's optional wait hook).
// Sending, sessions and records are TEmail's work.
#pragma once

#include "base/Exception.h"
#include "base/Translate.h"
#include "mapi/MapiTypes.h"

#include <string>

// A provider was loaded but lacks one or more of the ten entry points.
class EMapiDllError : public Exception {
public:
    EMapiDllError() : Exception(Tr("Mapi", "GetProcAddress for MAPI.DLL function(s) failed")) {}
};

// The ten entry points of the loaded provider; all set while MapiAvail().
struct TMapiEntryPoints {
    MAPIFindNextFunc* MAPIFindNext = nullptr;
    MAPILogoffFunc* MAPILogoff = nullptr;
    MAPILogonFunc* MAPILogon = nullptr;
    MAPISendMailFunc* MAPISendMail = nullptr;
    MAPIReadMailFunc* MAPIReadMail = nullptr;
    MAPIDeleteMailFunc* MAPIDeleteMail = nullptr;
    MAPIResolveNameFunc* MAPIResolveName = nullptr;
    MAPIFreeBufferFunc* MAPIFreeBuffer = nullptr;
    MAPIAddressFunc* MAPIAddress = nullptr;
    MAPISaveMailFunc* MAPISaveMail = nullptr;
    // Optional, beyond the ten: our provider's wait hook; null elsewhere.
    QuilletMapiSetWaitHookFunc* QuilletMapiSetWaitHook = nullptr;
};

// File name of our provider library.
constexpr const char* MapiLibraryName = "libmapi32.so";

// Start-up step, run once before the main window exists: loads the provider
// beside the program, else through the loader's search path. No provider is
// no error (MapiAvail() stays false). Raises EMapiDllError when an entry
// point is missing; the library is then released again.
void LoadMapiLibrary();
// The same with one explicit library file (tests, other locations).
void LoadMapiLibrary(const std::string& libraryPath);
// Releases the library; also done at program end.
void UnloadMapiLibrary();

// True while a provider with all ten entry points is loaded.
bool MapiAvail();
// The loaded entry points; all null while !MapiAvail().
const TMapiEntryPoints& MapiEntryPoints();
