// TEmail: one Simple MAPI send with logon, recipient resolution, the
// message, recipient and file records and their copies, and the events
// around each library call. The provider behind SMapi does the delivery.
#include "mapi/Email.h"

#include "platform/Program.h"

#include <exception>

namespace {

// More records than this would overflow a 32-bit count of 48-byte records.
constexpr size_t MaxRecords = 0x5555555;

// One MAPISendMail's wait hook: runs OnWait, and carries a raise out of it
// across the provider's C interface instead of through the provider.
struct TWaitCall {
    TEmail* Email;
    const TEmailNotifyEvent& OnWait;
    std::exception_ptr Raised;
};

MapiULong CallOnWait(void* context) {
    auto* call = static_cast<TWaitCall*>(context);
    if (call->Raised)
        return 1;
    try {
        call->OnWait(call->Email);
        return 0;
    } catch (...) {
        call->Raised = std::current_exception();
        return 1;
    }
}

} // namespace

// Copies are whole: our provider takes texts of any length, and a cut one
// would drop recipients or name another file.
char* TEmail::TCallCopies::Add(const std::string& s) {
    Texts.push_back(s);
    return Texts.back().data();
}

TEmail::TEmail() = default;

TEmail::~TEmail() {
    if (FSession == 0)
        return;
    try {
        Logoff();
    } catch (...) {
        // The library may be gone already at program end; nothing to report.
    }
}

void TEmail::CheckMapiAvailable() {
    if (!::MapiAvail())
        throw EMapiUnavailable();
}

MapiULong TEmail::LogonFlags() const {
    return (DownLoadFirst ? MAPI_FORCE_DOWNLOAD : 0) | (NewSession ? MAPI_NEW_SESSION : 0);
}

// Our provider keeps no profiles and the desktop has no store of a default
// Simple MAPI profile, so the read always fails, which empties Profile.
void TEmail::ReadDefaultProfile() {
    Profile.clear();
}

int32_t TEmail::Logon() {
    CheckMapiAvailable();
    if (FSession != 0)
        return 0;
    if (UseDefProfile)
        ReadDefaultProfile();
    DoBeforeLogon();
    TCallCopies copies;
    char* profile = Profile.empty() ? nullptr : copies.Add(Profile);
    char* password = Password.empty() ? nullptr : copies.Add(Password);
    const MapiULong flags = LogonFlags();
    MapiHandle session = 0;
    MapiULong code = MapiEntryPoints().MAPILogon(0, profile, password, flags, 0, &session);
    if (code != SUCCESS_SUCCESS) {
        // Let the client ask the user, e.g. when it has no default profile.
        session = 0;
        code = MapiEntryPoints().MAPILogon(0, nullptr, nullptr, flags | MAPI_LOGON_UI, 0, &session);
    }
    if (code == SUCCESS_SUCCESS) {
        FSession = session;
        DoAfterLogon();
    } else {
        DoMapiError(static_cast<int32_t>(code));
    }
    return static_cast<int32_t>(code);
}

int32_t TEmail::Logoff() {
    CheckMapiAvailable();
    if (FSession == 0)
        return 0;
    DoBeforeLogoff();
    const MapiHandle session = FSession;
    FSession = 0;
    const MapiULong code = MapiEntryPoints().MAPILogoff(session, 0, 0, 0);
    DoAfterLogoff();
    return static_cast<int32_t>(code);
}

size_t TEmail::SetLongText(const char* text) {
    if (text == nullptr) {
        FLongText.reset();
        return 0;
    }
    FLongText = std::string(text);
    Text.clear();
    return FLongText->size();
}

size_t TEmail::ResolveRecipients(std::vector<std::string>& list, MapiULong recipClass,
                                 MapiRecipDesc* records, TCallCopies& copies) {
    const TMapiEntryPoints& mapi = MapiEntryPoints();
    size_t count = 0;
    for (std::string& line : list) {
        if (line.empty())
            continue;
        char* name = copies.Add(line);
        const std::string given = name;
        MapiRecipDesc* resolved = nullptr;
        MapiULong code = mapi.MAPIResolveName(FSession, 0, name, 0, 0, &resolved);
        if (code == MAPI_E_AMBIGUOUS_RECIPIENT || code == MAPI_E_UNKNOWN_RECIPIENT) {
            resolved = nullptr;
            code = mapi.MAPIResolveName(FSession, 0, name, MAPI_DIALOG, 0, &resolved);
        }
        if (code == SUCCESS_SUCCESS && resolved == nullptr)
            code = MAPI_E_FAILURE; // a provider fault: success without a record
        if (code != SUCCESS_SUCCESS) {
            DoMapiError(static_cast<int32_t>(code));
            continue;
        }
        MapiRecipDesc& record = records[count];
        record = MapiRecipDesc();
        record.ulRecipClass = recipClass;
        const std::string resolvedName = resolved->lpszName ? resolved->lpszName : "";
        const bool lineHasBrackets =
            given.find('[') != std::string::npos && given.find(']') != std::string::npos;
        const bool nameHasBrackets = resolvedName.find_first_of("[]") != std::string::npos;
        if (lineHasBrackets && !nameHasBrackets) {
            // A literal "[address]" the client did not keep: use the line itself.
            mapi.MAPIFreeBuffer(resolved);
            std::string literal = given;
            literal.erase(literal.find(']'), 1);
            literal.erase(literal.find('['), 1);
            record.lpszName = copies.Add(literal);
            record.lpszAddress = record.lpszName;
        } else {
            line = resolvedName;
            record.lpszName = copies.Add(resolvedName);
            const bool hasAddress = resolved->lpszAddress != nullptr && *resolved->lpszAddress;
            record.lpszAddress = hasAddress ? copies.Add(resolved->lpszAddress) : record.lpszName;
            if (resolved->ulEIDSize > 0 && resolved->lpEntryID != nullptr) {
                // The resolved record is freed now; the identifier must outlive the send.
                const auto* eid = static_cast<const unsigned char*>(resolved->lpEntryID);
                copies.Blobs.emplace_back(eid, eid + resolved->ulEIDSize);
                record.ulEIDSize = resolved->ulEIDSize;
                record.lpEntryID = copies.Blobs.back().data();
            }
            mapi.MAPIFreeBuffer(resolved);
        }
        ++count;
    }
    return count;
}

int32_t TEmail::SendMail() {
    CheckMapiAvailable();
    const size_t recipientTotal = Recipient.size() + CC.size() + Bcc.size();
    if (recipientTotal > MaxRecords) {
        DoMapiError(MAPI_E_TOO_MANY_RECIPIENTS);
        return MAPI_E_TOO_MANY_RECIPIENTS;
    }
    if (Attachment.size() > MaxRecords) {
        DoMapiError(MAPI_E_TOO_MANY_FILES);
        return MAPI_E_TOO_MANY_FILES;
    }
    const bool hadSession = FSession != 0;
    if (Logon() != 0) {
        DoMapiError(MAPI_E_LOGIN_FAILURE);
        return MAPI_E_LOGIN_FAILURE;
    }
    // A session opened here is closed again however the send ends.
    struct TLogoffGuard {
        TEmail* Email;
        bool Active;
        ~TLogoffGuard() {
            try {
                if (Active)
                    Email->Logoff();
            } catch (...) {
                // Only when the library was released meanwhile; nothing to close.
            }
        }
    } logoffGuard{this, !hadSession};

    TCallCopies copies;
    MapiMessage message = MapiMessage();
    message.lpszSubject = Subject.empty() ? nullptr : copies.Add(Subject);
    if (FLongText)
        message.lpszNoteText = copies.Add(*FLongText);
    else if (!Text.empty())
        message.lpszNoteText = copies.Add(Text);
    message.flFlags = Acknowledge ? MAPI_RECEIPT_REQUESTED : 0;

    std::vector<MapiRecipDesc> recipients(recipientTotal);
    std::vector<MapiFileDesc> files(Attachment.size());
    size_t count = ResolveRecipients(Recipient, MAPI_TO, recipients.data(), copies);
    count += ResolveRecipients(CC, MAPI_CC, recipients.data() + count, copies);
    count += ResolveRecipients(Bcc, MAPI_BCC, recipients.data() + count, copies);
    message.nRecipCount = static_cast<MapiULong>(count);
    message.lpRecips = count > 0 ? recipients.data() : nullptr;
    const MapiULong sendFlags = (message.lpRecips == nullptr || ShowDialog) ? MAPI_DIALOG : 0;

    for (size_t i = 0; i < Attachment.size(); ++i) {
        char* path = copies.Add(Attachment[i]);
        if (!FileExists(path)) {
            DoMapiError(MAPI_E_ATTACHMENT_NOT_FOUND);
            return MAPI_E_ATTACHMENT_NOT_FOUND;
        }
        MapiFileDesc& file = files[i];
        file.nPosition = static_cast<MapiULong>(-1);
        file.lpszPathName = path;
        file.lpszFileName = copies.Add(ExtractFileName(path));
    }
    message.nFileCount = static_cast<MapiULong>(files.size());
    message.lpFiles = files.empty() ? nullptr : files.data();

    DoBeforeSendMail();
    const TMapiEntryPoints& mapi = MapiEntryPoints();
    TWaitCall wait{this, OnWait, nullptr};
    const bool hooked = OnWait && mapi.QuilletMapiSetWaitHook != nullptr;
    if (hooked)
        mapi.QuilletMapiSetWaitHook(&CallOnWait, &wait);
    const auto code = static_cast<int32_t>(mapi.MAPISendMail(FSession, 0, &message, sendFlags, 0));
    if (hooked)
        mapi.QuilletMapiSetWaitHook(nullptr, nullptr);
    if (code == 0)
        DoAfterSendMail();
    else
        DoMapiError(code);
    if (wait.Raised)
        std::rethrow_exception(wait.Raised);
    return code;
}

void TEmail::DoBeforeLogon() {
    if (OnBeforeLogon)
        OnBeforeLogon(this);
}
void TEmail::DoAfterLogon() {
    if (OnAfterLogon)
        OnAfterLogon(this);
}
void TEmail::DoBeforeLogoff() {
    if (OnBeforeLogoff)
        OnBeforeLogoff(this);
}
void TEmail::DoAfterLogoff() {
    if (OnAfterLogoff)
        OnAfterLogoff(this);
}
void TEmail::DoBeforeSaveMail() {
    if (OnBeforeSaveMail)
        OnBeforeSaveMail(this);
}
void TEmail::DoAfterSaveMail() {
    if (OnAfterSaveMail)
        OnAfterSaveMail(this);
}
void TEmail::DoBeforeSendMail() {
    if (OnBeforeSendMail)
        OnBeforeSendMail(this);
}
void TEmail::DoAfterSendMail() {
    if (OnAfterSendMail)
        OnAfterSendMail(this);
}
void TEmail::DoMapiError(int32_t errorCode) {
    if (OnMapiError)
        OnMapiError(this, errorCode);
}
