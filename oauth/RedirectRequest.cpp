// The loopback redirect request; see RedirectRequest.h.
#include "oauth/RedirectRequest.h"

#include "oauth/TokenResponse.h"

#include <QUrl>
#include <QUrlQuery>

bool ParseRedirectRequest(const std::string& head, TRedirectRequest& r) {
    r = TRedirectRequest();
    const size_t end = head.find("\r\n");
    const std::string line = head.substr(0, end);
    // "GET <target> HTTP/1.1": three words, one blank between each.
    const size_t first = line.find(' ');
    const size_t last = line.rfind(' ');
    if (first == std::string::npos || last == first || line.compare(0, first, "GET") != 0)
        return false;
    const std::string version = line.substr(last + 1);
    if (version != "HTTP/1.1" && version != "HTTP/1.0")
        return false;
    std::string target = line.substr(first + 1, last - first - 1);
    if (target.empty() || target[0] != '/' || target.find(' ') != std::string::npos)
        return false;
    // The parameters are form-encoded (RFC 6749 4.1.2): "+" is a blank.
    for (char& c : target)
        if (c == '+')
            c = ' ';
    for (size_t at = target.find(' '); at != std::string::npos; at = target.find(' ', at))
        target.replace(at, 1, "%20");
    const QUrl url("http://127.0.0.1" + QString::fromStdString(target), QUrl::StrictMode);
    if (!url.isValid())
        return false;
    r.Path = url.path().toStdString();
    const QUrlQuery query(url);
    auto value = [&query](const char* name) {
        return query.queryItemValue(name, QUrl::FullyDecoded).toStdString();
    };
    r.Code = value("code");
    r.State = value("state");
    r.Error = PrintableText(value("error"), 64);
    r.ErrorDescription = PrintableText(value("error_description"));
    return true;
}
