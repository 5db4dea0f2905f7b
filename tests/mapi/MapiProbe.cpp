// A program that runs the start-up step LoadMapiLibrary() and reports by its
// exit status: 0 MAPI available, 1 not available, 2 EMapiDllError. It lives
// in a directory of its own so a test can put a provider beside it.
#include "mapi/SMapi.h"

int main() {
    try {
        LoadMapiLibrary();
    } catch (const EMapiDllError&) {
        return 2;
    }
    return MapiAvail() ? 0 : 1;
}
