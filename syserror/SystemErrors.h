#pragma once

#include <QString>

// errnoText (ErrnoText.h) for the Qt programs.
QString systemErrorReason(int error);
