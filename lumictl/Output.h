#pragma once

#include <chrono>

#include <optional>

#include <QDateTime>

#include <QByteArray>
#include <QString>
#include <QStringList>

#include "LinkOutcome.h"
#include "PanelClock.h"
#include "PanelSession.h"
#include "SystemErrors.h"
#include "TextAdmission.h"
#include "USB2Lib.h"

// The panel's clock as ISO 8601 date and time: "2009-07-14T09:05:07". Values
// out of range are written as they are ("2009-13-32T24:00:00").
QString isoDateTime(const PanelClock& clock);
// The alarm as "HH:MM on" or "HH:MM off".
QString alarmText(const PanelClock& clock);

// The --json documents, one line each.
QByteArray statusJson(bool present, quint32 instance);
QByteArray textJson(const QString& text);
// read --full: the text and whether it is all the panel holds.
QByteArray wholeTextJson(const QString& text, bool complete);
// send --for: what was sent and whether the earlier text went back.
QByteArray passingJson(const PassingStart& start, const PassingEnd& end);
QByteArray clockJson(const PanelClock& clock, bool timeValid, bool dateValid,
                     std::optional<qint64> driftSeconds = std::nullopt);
// A send: what went, what was cut, and whether the read-back matched (none:
// not asked).
QByteArray sendJson(const SendOutcome& sent, std::optional<bool> verified);

QString driftMessage(qint64 seconds);
QString syncSkippedMessage(qint64 seconds);

QString verifyMismatchMessage(qsizetype position);
QString verifyFailedMessage(const LinkFailure& failure);

// Why the library says a call failed, from the errno it left; empty for 0.
QString failureReason(int error);

// lumictl's words for what the panel operations returned.
enum class Operation { Send, ReadText, ReadClock, WriteClock };
// A failed exchange: the operation's text and the library's reason.
QString failureMessage(Operation operation, const LinkFailure& failure);
// The panel looked for: a virtual one on its socket, or the USB one (empty).
QString noPanelMessage(int error, const QString& virtualSocket);
QString panelFoundMessage(const QString& virtualSocket);
// The library could not be bound: what the binding met, then lumictl's verdict.
QStringList libraryMessages(const LibraryLoad& load);
QString noTextMessage();
QString textSentMessage();
// The tail past what a send takes stayed on the computer.
QString textCutMessage(qsizetype cutChars);
// A send failed after its first chunk: the panel may keep part of the new text.
QString sendInterruptedMessage();
// send --for, after the send: how long the message stays.
QString passingMessage(std::chrono::seconds duration);
// read --full of a long text no record completes.
QString notWholeMessage();
// The earlier text put back; only its start when no record knew the rest.
QString restoredMessage(const WholeText& earlier);
// Another send came while the message was passing: it stays.
QString notRestoredMessage();
// The earlier text could not be put back: the one that should be there.
QString restoreFailedMessage(const QString& earlier);
// A clock read's warnings about out of range values, in the panel's order.
QStringList clockWarnings(const ClockRead& read);
QString clockWrittenMessage();
QString unreadableInputMessage(const QString& source, const QString& reason);
QString unreadablePictureMessage(const QString& path);
QString unwritableFileMessage(const QString& path, const QString& reason);
// giflib could not make the animation (it fails only short of memory).
QString gifFailedMessage(int giflibError);
// The animation would pass the bound on its size.
QString gifTooLargeMessage(qsizetype mostBytes);
// The LED pictures had more colours than a GIF palette holds.
QString gifApproximatedMessage();

// Why a character of the text cannot go to the panel.
QString refusalMessage(const RefusedCharacter& refused);

// The panel's text as a terminal may show it: each control character as
// \xHH, so a text holding escape sequences cannot drive the terminal.
QString terminalSafe(const QString& text);

// The most a text from standard input or a file may hold, in bytes.
inline constexpr qsizetype kMaxInputBytes = 64 * 1024;
QString inputTooLongMessage(const QString& source);

// A clock write that failed after its request left: the panel may have
// applied it all the same.
QString clockMayBeWrittenMessage();

// A text read from a file or standard input as one line: the final line end
// goes, inner line ends become blanks (the message is a single line).
QString oneLine(const QString& text);
