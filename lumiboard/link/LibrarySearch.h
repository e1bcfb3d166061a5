#pragma once

#include <QString>
#include <QStringList>

// Where the USB library is looked for, in order: the caller's own folders, the
// program's folder (where Windows looks first for a DLL), the lib folder beside
// the program's bin folder, its private lumiboard folder, the multiarch folder
// and its lumiboard folder (where the Debian package puts the library), and last
// the bare file name for the platform's own search. Plain paths only; nothing is
// checked on disk.
QStringList usbLibraryCandidates(const QString& fileName, const QStringList& firstDirs,
                                 const QString& programDir, const QString& multiarch);

// The multiarch folder name the program was built for (x86_64-linux-gnu), or
// empty where the platform has none.
QString usbLibraryMultiarch();
