#pragma once

#include "Commands.h"
#include "Doctor.h"

// lumictl doctor on this computer: the checks read sysfs, /dev, udev's
// folders, the panel's lock and socket, and the user's systemd; the clock is
// read through the session. Returns 0 when the panel can be used, else 1.
int runDoctor(const Invocation& inv, PanelSession& session, const CommandSeams& seams,
              CommandOutput& output);
