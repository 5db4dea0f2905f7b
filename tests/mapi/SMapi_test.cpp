// Binding: a missing provider leaves MAPI unavailable and every TEmail
// operation raises the unavailability message; a provider lacking one entry
// point is refused with EMapiDllError; a complete one binds all ten.
#include "mapi/Email.h"
#include "mapi/SMapi.h"
#include "platform/Process.h"
#include "platform/Program.h"

#include <gtest/gtest.h>

#include <functional>
#include <unistd.h>

namespace {

class SMapiTest : public ::testing::Test {
protected:
    void TearDown() override { UnloadMapiLibrary(); }
};

TEST_F(SMapiTest, NoProviderMakesEveryOperationRaiseUnavailable) {
    LoadMapiLibrary(MAPI_PROVIDER_PATH); // a working one first: loading again must drop it
    ASSERT_TRUE(MapiAvail());
    LoadMapiLibrary("/nonexistent/libmapi32.so");
    EXPECT_FALSE(MapiAvail());
    EXPECT_EQ(MapiEntryPoints().MAPISendMail, nullptr);

    TEmail email;
    EXPECT_FALSE(email.MapiAvail());
    email.Recipient = {"someone@example.com"};
    const std::pair<const char*, std::function<void()>> operations[] = {
        {"CheckMapiAvailable", [&] { email.CheckMapiAvailable(); }},
        {"Logon", [&] { email.Logon(); }},
        {"Logoff", [&] { email.Logoff(); }},
        {"SendMail", [&] { email.SendMail(); }},
    };
    for (const auto& [name, operation] : operations) {
        SCOPED_TRACE(name);
        try {
            operation();
            ADD_FAILURE() << "no exception";
        } catch (const EMapiUnavailable& e) {
            EXPECT_STREQ(e.what(), "MAPI services are not available on this system");
        }
    }
}

TEST_F(SMapiTest, ProviderWithoutOneEntryPointIsRefused) {
    try {
        LoadMapiLibrary(MAPI_TEST_PROVIDER_INCOMPLETE_PATH);
        ADD_FAILURE() << "no exception";
    } catch (const EMapiDllError& e) {
        EXPECT_STREQ(e.what(), "GetProcAddress for MAPI.DLL function(s) failed");
    }
    // Nothing half-bound is left for TEmail to call through.
    EXPECT_FALSE(MapiAvail());
    EXPECT_EQ(MapiEntryPoints().MAPILogon, nullptr);
    TEmail email;
    EXPECT_THROW(email.SendMail(), EMapiUnavailable);
}

TEST_F(SMapiTest, OurProviderBindsAllTenEntryPoints) {
    LoadMapiLibrary(MAPI_PROVIDER_PATH);
    ASSERT_TRUE(MapiAvail());
    const TMapiEntryPoints& e = MapiEntryPoints();
    const void* entries[] = {
        reinterpret_cast<void*>(e.MAPIFindNext),    reinterpret_cast<void*>(e.MAPILogoff),
        reinterpret_cast<void*>(e.MAPILogon),       reinterpret_cast<void*>(e.MAPISendMail),
        reinterpret_cast<void*>(e.MAPIReadMail),    reinterpret_cast<void*>(e.MAPIDeleteMail),
        reinterpret_cast<void*>(e.MAPIResolveName), reinterpret_cast<void*>(e.MAPIFreeBuffer),
        reinterpret_cast<void*>(e.MAPIAddress),     reinterpret_cast<void*>(e.MAPISaveMail),
    };
    for (const void* entry : entries)
        EXPECT_NE(entry, nullptr);
    UnloadMapiLibrary();
    EXPECT_FALSE(MapiAvail());
}

TEST_F(SMapiTest, StartUpLoadLooksBesideTheProgram) {
    // The probe program runs LoadMapiLibrary() with whatever we put beside it.
    const std::string probe = MAPI_LOAD_PROBE_PATH;
    const std::string beside = ExtractFilePath(probe) + MapiLibraryName;
    struct Case {
        const char* why;
        const char* provider; // linked in as libmapi32.so; null: none
        int exitCode;         // 0 available, 1 not, 2 EMapiDllError
    };
    const Case cases[] = {
        {"our provider beside the program", MAPI_PROVIDER_PATH, 0},
        {"an incomplete provider ends the start-up", MAPI_TEST_PROVIDER_INCOMPLETE_PATH, 2},
        {"nothing beside it and nothing on the search path", nullptr, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        unlink(beside.c_str());
        if (c.provider) {
            ASSERT_EQ(symlink(c.provider, beside.c_str()), 0);
        }
        int exitCode = -1;
        ASSERT_EQ(RunAndWait("\"" + probe + "\"", std::string(), &exitCode), 0);
        EXPECT_EQ(exitCode, c.exitCode);
    }
    unlink(beside.c_str());
}

} // namespace
