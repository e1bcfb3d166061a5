#pragma once

// The computer's default alert sound, behind a seam so tests can count beeps.
class Beeper {
public:
    virtual ~Beeper() = default;
    virtual void beep() = 0;
};

// No sound at all: for runs where nobody listens (benchmarks, end-to-end tests).
class SilentBeeper final : public Beeper {
public:
    void beep() override {}
};
