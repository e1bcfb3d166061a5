#include "TerminalPreview.h"

namespace {

// 256-colour palette: the LED's blue, and the grey of an unlit one.
constexpr int kLitColour = 33;
constexpr int kUnlitColour = 238;

QString colourCell(bool upperLit, bool lowerLit) {
    return QStringLiteral("\x1b[38;5;%1;48;5;%2m\u2580")
        .arg(upperLit ? kLitColour : kUnlitColour)
        .arg(lowerLit ? kLitColour : kUnlitColour);
}

QChar plainCell(bool upperLit, bool lowerLit) {
    if (upperLit && lowerLit) {
        return QChar(0x2588);  // full block
    }
    if (upperLit) {
        return QChar(0x2580);  // upper half
    }
    if (lowerLit) {
        return QChar(0x2584);  // lower half
    }
    return QLatin1Char(' ');
}

}  // namespace

QString terminalFrame(const PreviewEngine& engine, bool colour) {
    QString out;
    for (int r = 0; r < PreviewEngine::kRows; r += 2) {
        for (int c = 0; c < PreviewEngine::kShownColumns; ++c) {
            const bool upper = engine.isLit(c, r);
            const bool lower = r + 1 < PreviewEngine::kRows && engine.isLit(c, r + 1);
            if (colour) {
                out += colourCell(upper, lower);
            } else {
                out += plainCell(upper, lower);
            }
        }
        if (colour) {
            out += QStringLiteral("\x1b[0m");
        }
        out += u'\n';
    }
    return out;
}

std::int64_t ticksOnceRound(const QByteArray& text, const Clock& clock, std::int64_t limit) {
    SilentBeeper silent;  // counting is no time to ring
    PreviewEngine run(clock, silent);
    run.reset();
    run.setText(text);
    bool moved = false;
    for (std::int64_t tick = 1; tick <= limit; ++tick) {
        run.tick();
        moved = moved || run.msgpos() > 1;
        // Back at the start with nothing left to expand: the text went round
        // and begins again, as the panel scrolls it without end.
        if (moved && run.msgpos() == 1 && run.subpos() == 0) {
            return tick;
        }
    }
    return limit;
}
