// The request that reaches the loopback redirect: only a GET request line
// of HTTP/1.x counts, and the query's values arrive decoded.
#include "oauth/RedirectRequest.h"

#include <gtest/gtest.h>

TEST(RedirectRequest, RequestLines) {
    struct TCase {
        const char* Head;
        bool Valid;
        const char* Path;
        const char* Code;
        const char* State;
        const char* Error;
    } cases[] = {
        {"GET /?code=4%2F0Ab-x&state=s1 HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n", true, "/", "4/0Ab-x",
         "s1", ""},
        {"GET /?error=access_denied&state=s1 HTTP/1.0\r\n\r\n", true, "/", "", "s1",
         "access_denied"},
        {"GET /favicon.ico HTTP/1.1\r\n\r\n", true, "/favicon.ico", "", "", ""},
        {"GET /?code=a+b%20c%2B&state=x HTTP/1.1\r\n\r\n", true, "/", "a b c+", "x", ""},
        {"POST /?code=c&state=s HTTP/1.1\r\n\r\n", false, "", "", "", ""},
        {"GET /?code=c&state=s HTTP/2\r\n\r\n", false, "", "", "", ""},
        {"GET http://evil/?code=c HTTP/1.1\r\n\r\n", false, "", "", "", ""},
        {"GET  /?code=c HTTP/1.1\r\n\r\n", false, "", "", "", ""},
        {"\r\n\r\n", false, "", "", "", ""},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Head);
        TRedirectRequest r;
        ASSERT_EQ(ParseRedirectRequest(c.Head, r), c.Valid);
        EXPECT_EQ(r.Path, c.Path);
        EXPECT_EQ(r.Code, c.Code);
        EXPECT_EQ(r.State, c.State);
        EXPECT_EQ(r.Error, c.Error);
    }
}
