#include "Panel.h"

#include <algorithm>

namespace panelsim {

Outcome Panel::onReport(const Report& out) {
    Outcome outcome;
    if (unplugged()) {
        return outcome;
    }
    ++reports_;
    if (faults_.failWriteAt && reports_ == *faults_.failWriteAt) {
        return outcome;
    }
    outcome.accepted = true;
    const PanelState before = firmware_.state();
    if (out[0] == kCmdReadClock && faults_.clockReply) {
        Report reply{};
        reply[0] = kReplyAck;
        std::copy(faults_.clockReply->begin(), faults_.clockReply->end(), reply.begin() + 1);
        outcome.reply = reply;
    } else {
        outcome.reply = firmware_.handle(out);
    }
    outcome.stateChanged = !(firmware_.state() == before);
    if (faults_.noReply) {
        outcome.reply.reset();
    }
    if (faults_.nak && outcome.reply) {
        (*outcome.reply)[0] = kReplyNak;
    }
    return outcome;
}

}  // namespace panelsim
