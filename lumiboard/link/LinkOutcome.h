#pragma once

#include <cerrno>
#include <functional>
#include <optional>

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include "PanelClock.h"

// Why the panel's lock could not be taken at all (not because another
// program holds it).
struct LockProblem {
    enum class Why {
        System,        // a call failed: error says why
        OthersFolder,  // the folder is another user's
        OpenFolder,    // other users may write in the folder
        NotAFile,      // a link, a folder or a device where the lock file goes
    };
    QString path;  // the folder or the file
    Why why = Why::System;
    int error = 0;
};

// What went wrong in one exchange with the panel.
struct LinkFailure {
    enum class Step {
        Open,     // the panel could not be taken: a pipe did not open (the transfer then
                  // failed on it), or another program kept the panel (EBUSY)
        Write,    // the request (or a text chunk) was not written
        Read,     // no reply came
        Refused,  // a reply came, but not the acknowledgement
    };
    Step step = Step::Write;
    // The transfer that reported it (Write, Read or Refused): the same as step
    // but for a failed open, which only shows when a transfer meets its pipe.
    Step transfer = Step::Write;
    int error = 0;   // errno the library left; 0 when it gave no reason
    int chunk = 0;   // text send: the chunk that failed, from 1
    int chunks = 0;  // text send: how many chunks the text needed
    // The panel's lock could not be used: nothing was tried (error is EBUSY
    // only when another program holds the panel).
    std::optional<LockProblem> lock;
};

// Another program of ours kept the panel past the wait, or the lock could not
// be taken (problem): nothing was tried.
inline LinkFailure panelBusy(std::optional<LockProblem> problem = std::nullopt) {
    LinkFailure failure;
    failure.step = LinkFailure::Step::Open;
    failure.transfer = LinkFailure::Step::Write;
    failure.error = problem ? (problem->error != 0 ? problem->error : EPERM) : EBUSY;
    failure.lock = std::move(problem);
    return failure;
}

// A text send.
struct SendOutcome {
    bool nothingToSend = false;  // an empty text: no pipe was opened
    qsizetype sentChars = 0;     // characters in the chunks the panel took
    qsizetype cutChars = 0;      // characters past the most a send takes, never sent
    std::optional<LinkFailure> failure;
    bool ok() const { return !nothingToSend && !failure; }
};

// A text read: the panel's bytes (" " when it holds none), or the failure.
struct TextRead {
    QByteArray text;
    std::optional<LinkFailure> failure;
    bool ok() const { return !failure; }
};

// A clock read: the panel's record as it answered, out of range values kept
// and flagged, or the failure.
struct ClockRead {
    PanelClock record;
    bool timeValid = true;
    bool dateValid = true;
    std::optional<LinkFailure> failure;
    bool ok() const { return !failure; }
};

// A clock write.
struct ClockWrite {
    enum class Result {
        Written,
        Unknown,  // refused before any exchange: the record's time and date are nobody's yet
        Failed,
    };
    Result result = Result::Written;
    std::optional<LinkFailure> failure;
    bool ok() const { return result == Result::Written; }
};

// Called with an exchange's outcome once it is known and before its pipes
// close: the window tells its failures and warnings at that moment.
template <typename Outcome>
using WhileOpen = std::function<void(const Outcome&)>;

template <typename Outcome>
void tellWhileOpen(const WhileOpen<Outcome>& whileOpen, const Outcome& outcome) {
    if (whileOpen) {
        whileOpen(outcome);
    }
}
