#pragma once

#include "Beeper.h"
#include "SystemClock.h"

// The desktop's alert sound.
class SystemBeeper final : public Beeper {
public:
    void beep() override;
};
