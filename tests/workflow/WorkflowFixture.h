// A send workflow over a temporary directory for the workflow tests: made
// anew with the options a case needs (an outbox among them), with the
// settings of one way of sending, and with everything it reports kept in
// order.
#pragma once

#include "tests/support/TempDir.h"
#include "tests/support/audio_WavBytes.h"
#include "workflow/SendWorkflow.h"

#include <QCoreApplication>
#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <string>
#include <vector>

class TWorkflowFixture : public ::testing::Test {
protected:
    void SetUp() override {
        static int argc = 1;
        static char name[] = "workflow_test";
        static char* argv[] = {name, nullptr};
        if (!QCoreApplication::instance())
            new QCoreApplication(argc, argv);
        Dir.Write("Quillet.wav", WavBytes(1));
        Dir.Write("resolv.conf", "nameserver 127.0.0.1\n");
        setenv("QUILLET_RESOLV_CONF", Dir.File("resolv.conf").c_str(), 1);
        Fields = {"bob@example.org", "", "Voice note", "Hello"};
        Make();
    }

    // A new workflow whose encoder runs encoder (default: an attachment of
    // attachmentMb copied in place of lame's run) and whose name servers
    // answer on dnsPort. Keeps the settings applied last.
    TSendWorkflow& Make(std::string encoder = "", int dnsPort = 53, int attachmentMb = 0) {
        if (encoder.empty()) {
            Dir.Write("take.mp3",
                      std::string(attachmentMb ? size_t(attachmentMb) << 20 : 4000, 'm'));
            encoder = "cp take.mp3 Quillet.mp3";
        }
        TWorkflowOptions o;
        o.RecordingFile = Dir.File("Quillet.wav");
        o.EncodedFile = Dir.File("Quillet.mp3");
        o.EncoderCommandLine = encoder;
        o.DnsPort = dnsPort;
        o.HandoverRoot = Dir.File("handover");
        o.OutboxDir = OutboxDir;
        o.HostAddresses = HostAddresses;
        Wf.reset(); // its anti-freeze makes way for the new one's
        Wf = std::make_unique<TSendWorkflow>(o);
        Wf->OnMessage = [this](const std::string& t) { Notices.push_back(t); };
        Wf->OnInformation = [this](const std::string& t) { Notices.push_back(t); };
        Wf->OnWaitText = [this](const std::string& t, bool) { WaitTexts.push_back(t); };
        Wf->ApplySettings(Applied);
        return *Wf;
    }

    // The own server at 127.0.0.1:port, login user/secret.
    void UseSmtp(int port, TSmtpSecurity security = ssNone, int timeoutSeconds = 0,
                 const std::string& caFile = "") {
        TSendSettings s = Base(TSendType::Smtp);
        s.SmtpServer = "127.0.0.1";
        s.SmtpPort = port;
        s.SmtpUser = "user";
        s.SmtpPassword = "secret";
        s.SmtpSecurity = security;
        s.TimeoutSeconds = timeoutSeconds;
        s.CAFile = caFile;
        Apply(s);
    }
    void UseDirect() { Apply(Base(TSendType::Direct)); }
    void Apply(const TSendSettings& s) {
        Applied = s;
        Wf->ApplySettings(s);
    }
    static TSendSettings Base(TSendType type) {
        TSendSettings s;
        s.UserName = "Ann Example";
        s.UserEmail = "ann@example.org";
        s.SendType = type;
        return s;
    }

    TTempDir Dir;
    std::string OutboxDir; // of the workflows Make makes; empty: none
    // Fixed addresses of host names, for the workflows made next.
    std::map<std::string, std::vector<std::string>> HostAddresses;
    TSendSettings Applied = Base(TSendType::Smtp);
    std::unique_ptr<TSendWorkflow> Wf;
    TSendFields Fields;
    std::vector<std::string> Notices, WaitTexts;
};
