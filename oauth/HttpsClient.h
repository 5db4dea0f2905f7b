// THttpsClient: the form POSTs of a sign-in, over Qt Network. HTTPS only;
// the server's certificate is checked against the system's CAs and the
// CAFile of the settings, and its name against the address, as for SMTP.
// Redirects are not followed (a token request goes where it was sent) and
// a reply is read to 1 MB at most. Waits run an event loop of their own
// and give the caller's onWait a chance every 20 ms; what it raises ends
// the request and passes on. GUI thread (or quillet-send's main thread).
#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

struct THttpsResponse {
    int Status = 0; // the HTTP status code
    std::string Body;
};

using TFormFields = std::vector<std::pair<std::string, std::string>>;

class THttpsClient {
public:
    THttpsClient(std::string caFile, int timeoutMs, std::function<void()> onWait);

    // POSTs fields as application/x-www-form-urlencoded to url and waits
    // for the whole reply, of any status. Raises EOAuthError when the
    // address is not https, the server cannot be reached or does not answer
    // in time, or its certificate fails the check ("Certificate of <host>
    // rejected: <reason>.").
    THttpsResponse PostForm(const std::string& url, const TFormFields& fields);

private:
    std::string CAFile;
    int TimeoutMs;
    std::function<void()> OnWait;
};
