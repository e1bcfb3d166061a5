#pragma once

#include <QString>
#include <QStringList>

// The folder of the running program, or empty when no application object exists.
QString runningProgramDir();

// The program's data folder relative to its own folder once installed
// ("../share/lumiboard").
QString dataDirFromProgramDir();

// Where a data file of the program is looked for, in order: firstDir (empty: the
// working folder, by bare name), the program's data folder, and the program's
// own folder (a build tree keeps its data beside the programs). Plain paths
// only; nothing is checked on disk.
QStringList dataFileCandidates(const QString& fileName, const QString& firstDir,
                               const QString& programDir);

// The first candidate that exists, else the first one, so that a failure to
// open names the place the file was looked for first.
QString firstExistingFile(const QStringList& candidates);
