#pragma once

#include <QByteArray>
#include <QString>

namespace wholefile {

// Why a file was not written although the system allowed it.
enum class Refusal {
    None,
    ForeignLink,         // the name is a symbolic link another user made, or to another's file
    LinkInSharedFolder,  // a symbolic link in a sticky folder anyone may write: never followed
};

struct Outcome {
    bool written = false;
    int error = 0;  // errno of the step that failed (EFBIG for a file-size limit)
    Refusal refusal = Refusal::None;
    bool ok() const { return written; }
};

// Writes bytes to path whole or not at all: a regular file (or a new one) is
// written beside its target, synced and renamed over it, so any failure,
// the last flush included, leaves the old file as it was. "-", a pipe, a
// device or a socket's name is written to as a stream instead: it has no old
// content to keep. A final symbolic link is followed only when it and its
// target are this user's, and never in a sticky world-writable folder, where
// another user could have planted it. A target the user may not write is
// refused, as the shell's ">" would.
Outcome writeWhole(const QString& path, const QByteArray& bytes);

// Why a write failed, in French, for one line after the file's name.
QString failureReason(const Outcome& outcome);

}  // namespace wholefile
