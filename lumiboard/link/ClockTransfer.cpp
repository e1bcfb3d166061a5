#include "ClockTransfer.h"

#include "ReportCoding.h"

ClockRead readClock(PanelLink& link, const WhileOpen<ClockRead>& whileOpen) {
    ClockRead outcome;
    PanelLink::Pipes pipes(link);
    encodeReadClock(link.outReport());
    outcome.failure = pipes.request(kClockTimeoutMs, true);
    if (outcome.ok()) {
        const ClockReply reply = decodeClockReply(link.inReport());
        outcome.record = reply.clock;
        outcome.timeValid = reply.timeValid;
        outcome.dateValid = reply.dateValid;
    }
    tellWhileOpen(whileOpen, outcome);
    return outcome;  // the pipes close here
}

ClockWrite writeClock(PanelLink& link, const PanelClock& clock,
                      const WhileOpen<ClockWrite>& whileOpen) {
    ClockWrite outcome;
    PanelLink::Pipes pipes(link);
    encodeWriteClock(link.outReport(), clock);
    // The reply's content means nothing: any successful read is an answer.
    outcome.failure = pipes.request(kClockTimeoutMs, false);
    if (outcome.failure) {
        outcome.result = ClockWrite::Result::Failed;
    }
    tellWhileOpen(whileOpen, outcome);
    return outcome;
}
