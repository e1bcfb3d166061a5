#pragma once

#include <cstdint>
#include <optional>

#include <QByteArray>
#include <QString>

#include "Beeper.h"
#include "Clock.h"
#include "PreviewEngine.h"

// The panel's 20 x 10 LEDs in a terminal: five lines of twenty half blocks,
// each character two LEDs of a column (the upper one in its top half). In
// colour, lit LEDs blue and unlit ones dark grey; without, lit LEDs drawn
// and unlit ones blank.
QString terminalFrame(const PreviewEngine& engine, bool colour);

// How many ticks take text once round from a reset preview: until the whole
// text has been read and the engine starts it again. Bounded by limit.
std::int64_t ticksOnceRound(const QByteArray& text, const Clock& clock, std::int64_t limit);

// #B in a terminal: the bell character, only when asked for.
class TerminalBell final : public Beeper {
public:
    explicit TerminalBell(bool ring) : ring_(ring) {}
    void beep() override {
        if (ring_) {
            rung_ = true;
        }
    }
    // Whether the bell rang since the last call.
    bool takeRing() {
        const bool rang = rung_;
        rung_ = false;
        return rang;
    }

private:
    bool ring_;
    bool rung_ = false;
};
