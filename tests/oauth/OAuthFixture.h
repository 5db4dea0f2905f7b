// What the sign-in tests share: an event loop, a temporary directory with
// the tests' CA and a certificate for 127.0.0.1, the account of the test
// authorization server, and no session bus unless a case brings its own
// keyring (so no test reaches the desktop's).
#pragma once

#include "oauth/OAuthAccount.h"
#include "tests/support/TempDir.h"
#include "tests/support/oauth_Server.h"
#include "tests/support/tls_TestPki.h"

#include <QCoreApplication>
#include <cstdlib>
#include <gtest/gtest.h>

class TOAuthFixture : public ::testing::Test {
protected:
    TOAuthFixture() : Pki(Dir.Path()), Cert(Pki.Issue("auth", {"IP:127.0.0.1"})) {
        static int argc = 1;
        static char name[] = "oauth_test";
        static char* argv[] = {name, nullptr};
        if (!QCoreApplication::instance())
            new QCoreApplication(argc, argv);
        unsetenv("DBUS_SESSION_BUS_ADDRESS");
    }
    TOAuthServerOptions Server() const {
        TOAuthServerOptions o;
        o.Cert = Cert.Cert;
        o.Key = Cert.Key;
        o.SecondMs = 20; // the service's seconds, shortened
        return o;
    }
    TOAuthAccount Account(const TOAuthTestServer& server, const std::string& user) const {
        TOAuthAccount a;
        a.Endpoints = {server.Url("/authorize"), server.Url("/token"), server.Url("/device"),
                       "https://mail.example/ offline_access", ""};
        a.ClientId = TOAuthTestServer::ClientId();
        a.User = user;
        a.CAFile = Pki.CAFile;
        return a;
    }

    TTempDir Dir;
    TTlsTestPki Pki;
    TTlsCertFiles Cert;
};
