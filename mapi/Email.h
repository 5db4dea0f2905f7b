// TEmail: sends one mail through the Simple MAPI provider bound by SMapi.
// It logs on (asking the client when a silent logon fails), resolves each
// recipient line, hands subject, text and attachments to MAPISendMail and
// logs off again when it opened the session itself. What the client does
// with the mail, and any dialog it shows, is the client's business.
//
// Use (the main window owns one as EmailMAPI; LoadMapiLibrary() ran first):
//     EmailMAPI.Recipient = {toFieldText};
//     EmailMAPI.CC = {ccFieldText};            // an empty line is skipped
//     EmailMAPI.Attachment = {mp3Path};
//     EmailMAPI.Subject = subject;
//     EmailMAPI.SetLongText(body);
//     if (EmailMAPI.SendMail() != 0) ...       // a Simple MAPI code
// Every call that talks to the library raises EMapiUnavailable when no
// provider is loaded.
#pragma once

#include "base/Exception.h"
#include "base/Translate.h"
#include "mapi/MapiTypes.h"
#include "mapi/SMapi.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class EMapiUnavailable : public Exception {
public:
    EMapiUnavailable() : Exception(Tr("Mapi", "MAPI services are not available on this system")) {}
};

class TEmail;
using TEmailNotifyEvent = std::function<void(TEmail* Sender)>;
using TMapiErrorEvent = std::function<void(TEmail* Sender, int32_t ErrorCode)>;

class TEmail {
public:
    TEmail();
    // Logs off a session left open by Logon(); errors are ignored.
    virtual ~TEmail();
    TEmail(const TEmail&) = delete;
    TEmail& operator=(const TEmail&) = delete;

    // Raises EMapiUnavailable while no provider is loaded.
    virtual void CheckMapiAvailable();

    // Opens a session (0 when one is open already); a failing silent logon
    // is retried once with MAPI_LOGON_UI. Returns the last call's code.
    int32_t Logon();
    // Closes the session (0 when none is open); the handle is dropped whatever
    // the provider answers.
    int32_t Logoff();
    // Sends the mail made of the properties below: 0, or a Simple MAPI code.
    int32_t SendMail();
    // Stores text as the long text (replacing Text, which is emptied); null
    // removes the long text. Returns the stored length.
    size_t SetLongText(const char* text);
    size_t SetLongText(const std::string& text) { return SetLongText(text.c_str()); }

    bool MapiAvail() const { return ::MapiAvail(); }
    std::string Version() const { return "2.09.02"; }
    // The open session, 0 when logged off.
    MapiHandle Session() const { return FSession; }

    // Texts are handed to the library whole, whatever their length; list
    // lines are one name (or one file path) each.
    bool Acknowledge = false;            // ask for a read receipt
    std::vector<std::string> Attachment; // file paths
    std::vector<std::string> Bcc;        // blind-copy names
    std::vector<std::string> CC;         // copy names
    bool DownLoadFirst = false;          // logon with MAPI_FORCE_DOWNLOAD
    bool NewSession = false;             // logon with MAPI_NEW_SESSION
    TEmailNotifyEvent OnBeforeLogon, OnAfterLogon, OnBeforeLogoff, OnAfterLogoff;
    TEmailNotifyEvent OnBeforeSaveMail, OnAfterSaveMail, OnBeforeSendMail, OnAfterSendMail;
    TMapiErrorEvent OnMapiError; // every failure code
    // Called again and again while MAPISendMail waits for the mail client,
    // where the provider supports a wait hook (ours does). It may raise to
    // give the send up: the provider ends the client, and SendMail passes
    // the raise on after its clean-up.
    TEmailNotifyEvent OnWait;
    std::string Password;
    std::string Profile;
    std::vector<std::string> Recipient; // "To" names
    bool ShowDialog = false;            // let the client show its send dialog
    std::string Subject;
    std::string Text;             // body unless a long text is set
    bool TruncAttFN = true;       // not used by sending
    bool UnreadOnly = false;      // not used by sending
    bool UseDefProfile = false;   // take Profile from the user's default
    bool UseLongMessageID = true; // not used by sending

protected:
    virtual void DoBeforeLogon();
    virtual void DoAfterLogon();
    virtual void DoBeforeLogoff();
    virtual void DoAfterLogoff();
    virtual void DoBeforeSaveMail();
    virtual void DoAfterSaveMail();
    virtual void DoBeforeSendMail();
    virtual void DoAfterSendMail();
    virtual void DoMapiError(int32_t errorCode);

private:
    // Zero-terminated copies handed to the library, kept for one call.
    // A deque never moves its elements, so the pointers stay valid.
    struct TCallCopies {
        std::deque<std::string> Texts;
        std::deque<std::vector<unsigned char>> Blobs;
        char* Add(const std::string& s);
    };

    MapiULong LogonFlags() const;
    void ReadDefaultProfile();
    size_t ResolveRecipients(std::vector<std::string>& list, MapiULong recipClass,
                             MapiRecipDesc* records, TCallCopies& copies);

    std::optional<std::string> FLongText;
    MapiHandle FSession = 0;
};
