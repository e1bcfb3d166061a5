#include "TextTransfer.h"

#include "ReportCoding.h"

SendOutcome sendText(PanelLink& link, const QByteArray& fieldText,
                     const WhileOpen<SendOutcome>& whileOpen) {
    SendOutcome outcome;
    const QByteArray text = fieldText.left(kMaxSentChars);
    outcome.cutChars = fieldText.size() - text.size();
    if (text.isEmpty()) {
        outcome.nothingToSend = true;
        return outcome;
    }
    const int chunks = static_cast<int>((text.size() + kChunkChars - 1) / kChunkChars);
    PanelLink::Pipes pipes(link);
    for (int chunk = 1; outcome.sentChars < text.size(); ++chunk) {
        const qsizetype count = encodeTextChunk(link.outReport(), text, outcome.sentChars);
        if (!pipes.write()) {
            // The chunks not yet written are dropped: a half-sent text is
            // only fixed by sending again.
            LinkFailure failed = pipes.failure(LinkFailure::Step::Write);
            failed.chunk = chunk;
            failed.chunks = chunks;
            outcome.failure = failed;
            break;
        }
        outcome.sentChars += count;
    }
    tellWhileOpen(whileOpen, outcome);
    return outcome;  // the pipes close here
}

TextRead readText(PanelLink& link, const WhileOpen<TextRead>& whileOpen) {
    TextRead outcome;
    PanelLink::Pipes pipes(link);
    encodeReadText(link.outReport());
    outcome.failure = pipes.request(kReadTextTimeoutMs, true);
    if (outcome.ok()) {
        outcome.text = decodeTextReply(link.inReport());
        if (outcome.text.isEmpty()) {
            outcome.text = " ";
        }
    }
    tellWhileOpen(whileOpen, outcome);
    return outcome;
}
