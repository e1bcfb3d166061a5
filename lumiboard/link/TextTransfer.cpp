#include "TextTransfer.h"

#include <QString>

#include "LinkFailure.h"
#include "ReportCoding.h"

bool sendText(PanelLink& link, Dialogs& dialogs, const QByteArray& fieldText) {
    const QByteArray text = fieldText.left(kMaxSentChars);
    if (text.isEmpty()) {
        dialogs.error(QString::fromUtf16(kNoTextToSend));
        return false;
    }
    PanelLink::Pipes pipes(link);
    for (qsizetype pos = 0; pos < text.size();) {
        pos += encodeTextChunk(link.outReport(), text, pos);
        if (!pipes.write()) {
            // The chunks not yet written are dropped: a half-sent text is
            // only fixed by sending again.
            dialogs.error(failureText(link, kSendFailed));
            return false;
        }
    }
    pipes.close();
    // Say so when the tail of a long text stayed on the PC.
    dialogs.confirm(
        QString::fromUtf16(fieldText.size() > kMaxSentChars ? kTextSentTruncated : kTextSent));
    return true;
}

std::optional<QByteArray> readText(PanelLink& link, Dialogs& dialogs) {
    PanelLink::Pipes pipes(link);
    encodeReadText(link.outReport());
    if (!pipes.write() || !pipes.read(kReadTextTimeoutMs) || link.inReport()[0] != REPLY_ACK) {
        dialogs.error(failureText(link, kReadTextFailed));
        return std::nullopt;
    }
    QByteArray text = decodeTextReply(link.inReport());
    if (text.isEmpty()) {
        text = " ";
    }
    return text;
}
