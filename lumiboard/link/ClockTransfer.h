#pragma once

#include "LinkOutcome.h"
#include "PanelClock.h"
#include "PanelLink.h"

// Reads the panel's clock, date and alarm. Out of range time or date values
// are kept and flagged.
ClockRead readClock(PanelLink& link, const WhileOpen<ClockRead>& whileOpen = {});

// Writes clock to the panel as it is; done once the panel answered, whatever
// it answered. Whether the record is worth sending is the caller's to judge.
ClockWrite writeClock(PanelLink& link, const PanelClock& clock,
                      const WhileOpen<ClockWrite>& whileOpen = {});
