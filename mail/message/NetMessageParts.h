// The parts of a message: file attachments (TNetAttachment) and text parts
// (TNetText) in an owning collection that also selects the attachment
// encoder by name and counts its parts for the writer. Reading a file's
// bytes is left to the writer, when the message is written.
#pragma once

#include "mail/message/NetEncoders.h"
#include "mail/message/NetHeaderList.h"

#include <memory>
#include <string>
#include <vector>

class TNetMessagePart {
public:
    // The part base itself cannot be created: raises
    // ENetCanNotCreateMessagePart. Create TNetAttachment or TNetText.
    TNetMessagePart();
    virtual ~TNetMessagePart() = default;
    TNetMessagePart(const TNetMessagePart&) = delete;
    TNetMessagePart& operator=(const TNetMessagePart&) = delete;

    std::string ContentType() const { return PartHeaders.GetHeader("Content-Type"); }
    void SetContentType(const std::string& v) { PartHeaders.SetHeader("Content-Type", v); }
    std::string ContentTransfer() const {
        return PartHeaders.GetHeader("Content-Transfer-Encoding");
    }
    void SetContentTransfer(const std::string& v) {
        PartHeaders.SetHeader("Content-Transfer-Encoding", v);
    }

    // "Content-Type", "Content-Transfer-Encoding", "Content-Disposition",
    // "Content-ID" of this part.
    TNetHeaderList PartHeaders;
    // Written verbatim after the part's own header lines.
    TNetHeaderList ExtraHeaders;

protected:
    struct TDescendant {};
    explicit TNetMessagePart(TDescendant) {}
};

class TNetAttachment : public TNetMessagePart {
public:
    // SourcePath := path, FileName := its last component.
    explicit TNetAttachment(const std::string& path);
    // Deletes the file named FileName when DeleteTempFile is set.
    ~TNetAttachment() override;

    std::string ContentDisposition() const { return PartHeaders.GetHeader("Content-Disposition"); }
    void SetContentDisposition(const std::string& v) {
        PartHeaders.SetHeader("Content-Disposition", v);
    }

    std::string SourcePath;
    std::string FileName;
    bool DeleteTempFile = false;
};

class TNetText : public TNetMessagePart {
public:
    TNetText() : TNetMessagePart(TDescendant{}) {}
    std::vector<std::string> Body;
};

class TNetMessageParts {
public:
    TNetMessageParts();

    TNetAttachment& AddAttachment(const std::string& path);
    TNetText& AddText();
    void Add(std::unique_ptr<TNetMessagePart> part) { Items.push_back(std::move(part)); }
    void Delete(int index) { Items.erase(Items.begin() + index); }
    void Clear() { Items.clear(); }
    int Count() const { return static_cast<int>(Items.size()); }
    bool Empty() const { return Items.empty(); }
    TNetMessagePart& operator[](int index) { return *Items[index]; }
    const TNetMessagePart& operator[](int index) const { return *Items[index]; }

    const std::string& AttachmentEncoding() const { return EncodingName; }
    // Looks name up in the attachment-encoder table at once; raises
    // ENetException "Message encoder not found: <name>".
    void SetAttachmentEncoding(const std::string& name);
    // A new encoder of the selected table entry.
    std::unique_ptr<TNetMessageEncoder> CreateAttachmentEncoder() const {
        return Encoder->Create();
    }

    // Recomputes the three counts below.
    void CountParts();
    int AttachmentCount = 0;
    int TextPartCount = 0;
    int RelatedPartCount = 0; // attachments with a "Content-ID"

private:
    std::vector<std::unique_ptr<TNetMessagePart>> Items;
    std::string EncodingName;
    const TNetMessageEncoderInfo* Encoder = nullptr;
};
