#pragma once

#include <string>

// Why a system call failed, in French (UTF-8), from the errno it left: the
// programs speak French, and the system's own texts are English. An errno
// without words of its own is named by its number. Plain C++, for programs
// that load no Qt (panelsim).
std::string errnoText(int error);
