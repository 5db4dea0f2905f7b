// One run of the mail client's command for MAPISendMail: started without a
// shell, waited for in short slices that give the caller's wait hook its
// turn, ended when the hook gives up, and left to run on its own once the
// client has had the mail for a while (xdg-email waits for the whole
// client to exit when it had to start it).
#pragma once

#include "mapi/MapiTypes.h"

#include <string>
#include <vector>

// The wait hook a thread registered (QuilletMapiSetWaitHookFunc); none
// while Func is null.
struct TWaitHook {
    QuilletMapiWaitHookFunc* Func = nullptr;
    void* Context = nullptr;
};

// Runs argv (argv[0] looked up on PATH; stdin, stdout and stderr on
// /dev/null). Returns SUCCESS_SUCCESS when it exits 0, or when it still
// runs after HandOverMs: the client then shows the mail, and the process
// is reaped whenever it ends. MAPI_E_FAILURE when it cannot start or fails
// before; MAPI_E_USER_ABORT when the hook gave up (the process is ended
// and reaped first).
MapiULong RunClient(const std::vector<std::string>& argv, const TWaitHook& hook);

// How long a client that has not ended counts as still taking the mail.
constexpr int HandOverMs = 5000;
