#pragma once

#include <optional>
#include <variant>

#include <QDateTime>

#include <QByteArray>
#include <QString>
#include <QStringList>

#include "LinkOutcome.h"
#include "PanelClock.h"
#include "SystemErrors.h"
#include "USB2Lib.h"

// The panel's clock as ISO 8601 date and time: "2009-07-14T09:05:07". Values
// out of range are written as they are ("2009-13-32T24:00:00").
QString isoDateTime(const PanelClock& clock);
// The alarm as "HH:MM on" or "HH:MM off".
QString alarmText(const PanelClock& clock);

// The --json documents, one line each.
QByteArray statusJson(bool present, quint32 instance);
QByteArray textJson(const QString& text);
QByteArray clockJson(const PanelClock& clock, bool timeValid, bool dateValid,
                     std::optional<qint64> driftSeconds = std::nullopt);
// A send: what went, what was cut, and whether the read-back matched (none:
// not asked).
QByteArray sendJson(const SendOutcome& sent, std::optional<bool> verified);

// How far the panel's clock is ahead of the computer's (negative: behind),
// in seconds; nothing when the panel's time or date is not a valid one.
std::optional<qint64> clockDrift(const ClockRead& read, const QDateTime& now);
QString driftMessage(qint64 seconds);
QString syncSkippedMessage(qint64 seconds);

// The first character, from 1, where the panel's text read back differs from
// what was sent (as much of it as a read returns); none when they agree.
std::optional<qsizetype> firstDifference(const QString& sent, const QString& readBack);
QString verifyMismatchMessage(qsizetype position);
QString verifyFailedMessage(const LinkFailure& failure);

// Why the library says a call failed, from the errno it left; empty for 0.
QString failureReason(int error);

// lumictl's words for what the panel operations returned.
enum class Operation { Send, ReadText, ReadClock, WriteClock };
// A failed exchange: the operation's text and the library's reason.
QString failureMessage(Operation operation, const LinkFailure& failure);
QString noPanelMessage(int error);
QString panelFoundMessage();
// The library could not be bound: what the binding met, then lumictl's verdict.
QStringList libraryMessages(const LibraryLoad& load);
QString noTextMessage();
QString textSentMessage();
// The tail past what a send takes stayed on the computer.
QString textCutMessage(qsizetype cutChars);
// A send failed after its first chunk: the panel may keep part of the new text.
QString sendInterruptedMessage();
// A clock read's warnings about out of range values, in the panel's order.
QStringList clockWarnings(const ClockRead& read);
QString clockWrittenMessage();
QString unreadableInputMessage(const QString& source, const QString& reason);
QString unreadablePictureMessage(const QString& path);
QString unwritableFileMessage(const QString& path, const QString& reason);

// A text ready for the panel: every character one the panel can receive.
struct RefusedCharacter {
    char32_t character;
    qsizetype position;  // 1-based, in characters
};
// Refuses the first character the panel cannot receive (none in Windows-1252,
// or a zero, which would end the text early), or with replace turns each
// into "?".
std::variant<QString, RefusedCharacter> panelText(const QString& text, bool replace);
QString refusalMessage(const RefusedCharacter& refused);

// A character a terminal acts on instead of showing: C0 controls, DEL and
// the C1 controls.
bool isControlCharacter(char32_t c);
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
