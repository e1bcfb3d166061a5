#pragma once

#include <QString>

// Why a system call failed, in French, from the errno it left: the programs
// speak French, and the system's own texts are English. An errno without
// words of its own is named by its number.
QString systemErrorReason(int error);
