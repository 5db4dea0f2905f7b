// SMapi: loads the Simple MAPI provider with dlopen and binds its ten entry
// points. "The provider is present" means libmapi32.so can be loaded from
// the program's directory or, failing that, from the loader's search path.
#include "mapi/SMapi.h"

#include "platform/Program.h"

#include <dlfcn.h>

namespace {

struct TMapiBinding {
    void* Handle = nullptr;
    TMapiEntryPoints Entry;

    // Program end: the library goes when the process's statics do.
    ~TMapiBinding() { Release(); }

    void Release() {
        Entry = TMapiEntryPoints();
        if (Handle != nullptr) {
            dlclose(Handle);
            Handle = nullptr;
        }
    }
};

TMapiBinding Binding;

template <typename F> void Bind(void* handle, const char* name, F*& slot, bool& complete) {
    slot = reinterpret_cast<F*>(dlsym(handle, name));
    if (slot == nullptr)
        complete = false;
}

// Binds all ten by name; false when any is missing.
bool BindEntryPoints(void* handle, TMapiEntryPoints& e) {
    bool complete = true;
    Bind(handle, "MAPIFindNext", e.MAPIFindNext, complete);
    Bind(handle, "MAPILogoff", e.MAPILogoff, complete);
    Bind(handle, "MAPILogon", e.MAPILogon, complete);
    Bind(handle, "MAPISendMail", e.MAPISendMail, complete);
    Bind(handle, "MAPIReadMail", e.MAPIReadMail, complete);
    Bind(handle, "MAPIDeleteMail", e.MAPIDeleteMail, complete);
    Bind(handle, "MAPIResolveName", e.MAPIResolveName, complete);
    Bind(handle, "MAPIFreeBuffer", e.MAPIFreeBuffer, complete);
    Bind(handle, "MAPIAddress", e.MAPIAddress, complete);
    Bind(handle, "MAPISaveMail", e.MAPISaveMail, complete);
    bool optional = true;
    Bind(handle, "QuilletMapiSetWaitHook", e.QuilletMapiSetWaitHook, optional);
    return complete;
}

void Adopt(void* handle) {
    Binding.Handle = handle;
    if (!BindEntryPoints(handle, Binding.Entry)) {
        // Keeping a half-bound library would let a call jump through a null
        // entry point, so the binding is undone before raising.
        Binding.Release();
        throw EMapiDllError();
    }
}

} // namespace

void LoadMapiLibrary() {
    UnloadMapiLibrary();
    void* handle = dlopen((ProgramDir() + MapiLibraryName).c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr)
        handle = dlopen(MapiLibraryName, RTLD_NOW | RTLD_LOCAL);
    if (handle != nullptr)
        Adopt(handle);
}

void LoadMapiLibrary(const std::string& libraryPath) {
    UnloadMapiLibrary();
    // A name without "/" would send dlopen to the search path; an explicit
    // file is meant, so make it a path.
    std::string path =
        libraryPath.find('/') == std::string::npos ? "./" + libraryPath : libraryPath;
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle != nullptr)
        Adopt(handle);
}

void UnloadMapiLibrary() {
    Binding.Release();
}

bool MapiAvail() {
    return Binding.Handle != nullptr;
}

const TMapiEntryPoints& MapiEntryPoints() {
    return Binding.Entry;
}
