#pragma once

#include "ProgramSetup.h"

class QCoreApplication;
class Tmodul;

// Process-wide settings, made by main() (and by tests that build the window):
// the font substitutions the window's layout relies on.
void setUpApplication();

// Routes the application's Alt+key shortcuts to the window's buttons first.
void routeAltKeys(QCoreApplication& app, Tmodul& window);
