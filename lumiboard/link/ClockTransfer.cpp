#include "ClockTransfer.h"

#include "LinkFailure.h"
#include "ReportCoding.h"

bool readClock(PanelLink& link, Dialogs& dialogs, PanelClock& clock) {
    PanelLink::Pipes pipes(link);
    encodeReadClock(link.outReport());
    if (!pipes.write()) {
        dialogs.error(failureText(link, kClockWriteFailedOnRead));
        return false;
    }
    if (!pipes.read(kClockTimeoutMs) || link.inReport()[0] != REPLY_ACK) {
        dialogs.error(failureText(link, kClockReadFailed));
        return false;
    }
    const ClockReply reply = decodeClockReply(link.inReport());
    clock.hour = reply.clock.hour;
    clock.minute = reply.clock.minute;
    clock.second = reply.clock.second;
    if (!reply.timeValid) {
        dialogs.error(QString::fromUtf16(kPanelTimeWrong));
    }
    clock.day = reply.clock.day;
    clock.month = reply.clock.month;
    clock.year = reply.clock.year;
    if (!reply.dateValid) {
        dialogs.error(QString::fromUtf16(kPanelDateWrong));
    }
    clock.alarmHour = reply.clock.alarmHour;
    clock.alarmMinute = reply.clock.alarmMinute;
    clock.alarmOn = reply.clock.alarmOn;

    pipes.close();
    return true;
}

bool writeClock(PanelLink& link, Dialogs& dialogs, const PanelClock& clock) {
    PanelLink::Pipes pipes(link);
    encodeWriteClock(link.outReport(), clock);
    // The reply's content means nothing: any successful read is an answer.
    if (!pipes.write() || !pipes.read(kClockTimeoutMs)) {
        dialogs.error(failureText(link, kClockWriteFailed));
        return false;
    }
    pipes.close();
    dialogs.confirm(QString::fromUtf16(kClockWritten));
    return true;
}
