#pragma once

#include <optional>
#include <string_view>

#include <QImage>
#include <QPoint>
#include <QString>

#include "Beeper.h"
#include "Clock.h"
#include "PanelSession.h"
#include "Preview.h"

// The message field after a function code went in, and where its caret goes.
struct CodeInsertion {
    QString text;
    int caret = 0;
};

// One run of the window program against one panel: the panel side, the
// preview that scrolls the message, and the operations behind the window's
// other controls. Holds no widget.
class Session {
public:
    // The LED pictures are read from imageDir (empty: the working folder),
    // else from the data folder of the program in programDir.
    Session(const Clock& clock, Beeper& beeper, const QString& imageDir, const QString& programDir);

    PanelSession& panel() { return panel_; }
    const PanelSession& panel() const { return panel_; }

    // Start-up, part one, before any dialog: resets the preview and the alarm
    // flag and returns the text the message field starts with. Part two is
    // the panel's startUp().
    QString beginStartUp();

    // The function code of a menu item put into text at caret.
    CodeInsertion insertCode(const QString& text, int caret, std::string_view itemName) const;

    // The message field changed: the preview scrolls the new text.
    void setMessage(const QString& fieldText);
    // One preview tick drawn on canvas with LED (0,0) at origin; why, when a
    // picture could not be loaded (see Preview::tick).
    std::optional<LedPictureFailure> tick(QImage& canvas, QPoint origin);

    const Preview& preview() const { return preview_; }

private:
    PanelSession panel_;
    Preview preview_;
};
