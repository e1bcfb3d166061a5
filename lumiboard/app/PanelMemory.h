#pragma once

#include <cstdint>
#include <optional>

#include <QString>

// The whole text our programs last sent to one panel, kept in the user's
// state folder: a read returns only the first 62 characters, and a passing
// message must give the panel back all of its text.
class PanelMemory {
public:
    // file: where this panel's record is kept (panelMemoryPath()).
    explicit PanelMemory(const QString& file);

    // The text recorded; nothing when there is none or it is damaged.
    std::optional<QString> recorded() const;
    // Records the whole text just sent, written whole or not at all; false
    // when it could not be written (the send itself stands).
    bool record(const QString& text) const;
    // A send that failed part way leaves the panel's text unknown.
    void forget() const;

private:
    QString file_;
};

// $XDG_STATE_HOME/lumiboard (else ~/.local/state/lumiboard); made, private
// to the user, by the first record.
QString panelMemoryFolder();

// One panel's record in folder, named as its lock is.
QString panelMemoryPath(const QString& folder, const QString& socket, std::uint32_t instance);

// The panel's whole text when a read of its start matches the recorded text.
std::optional<QString> wholeTextFromRecord(const QString& read,
                                           const std::optional<QString>& recorded);
