// Message parts and their collection; see NetMessageParts.h.
#include "mail/message/NetMessageParts.h"

#include "base/NetException.h"
#include "platform/Program.h"

TNetMessagePart::TNetMessagePart() {
    throw ENetCanNotCreateMessagePart(
        "TNetMessagePart can not be created.  Use descendant classes. ");
}

TNetAttachment::TNetAttachment(const std::string& path)
    : TNetMessagePart(TDescendant{}), SourcePath(path), FileName(ExtractFileName(path)) {}

TNetAttachment::~TNetAttachment() {
    if (DeleteTempFile)
        DeleteFile(FileName);
}

TNetMessageParts::TNetMessageParts() {
    SetAttachmentEncoding("MIME");
}

TNetAttachment& TNetMessageParts::AddAttachment(const std::string& path) {
    auto part = std::make_unique<TNetAttachment>(path);
    TNetAttachment& ref = *part;
    Items.push_back(std::move(part));
    return ref;
}

TNetText& TNetMessageParts::AddText() {
    auto part = std::make_unique<TNetText>();
    TNetText& ref = *part;
    Items.push_back(std::move(part));
    return ref;
}

void TNetMessageParts::SetAttachmentEncoding(const std::string& name) {
    const TNetMessageEncoderInfo* info = TNetMessageEncoderList::Find(name);
    if (!info)
        throw ENetException("Message encoder not found: " + name);
    Encoder = info;
    EncodingName = name;
}

void TNetMessageParts::CountParts() {
    AttachmentCount = TextPartCount = RelatedPartCount = 0;
    for (const auto& part : Items) {
        if (dynamic_cast<const TNetText*>(part.get())) {
            ++TextPartCount;
        } else if (dynamic_cast<const TNetAttachment*>(part.get())) {
            ++AttachmentCount;
            if (!part->PartHeaders.GetHeader("Content-ID").empty())
                ++RelatedPartCount;
        }
    }
}
