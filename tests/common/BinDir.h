#pragma once

#include <QCoreApplication>
#include <QDir>
#include <QString>

// The folder of the built programs, libmpusbapi.so and the LED pictures:
// LUMI_BIN_DIR, else bin beside the tests' folder, so a test runs from any
// working folder.
inline QString builtBinDir() {
    const QString fromEnv = qEnvironmentVariable("LUMI_BIN_DIR");
    if (!fromEnv.isEmpty()) {
        return fromEnv;
    }
    return QDir(QCoreApplication::applicationDirPath()).absoluteFilePath(QStringLiteral("../bin"));
}
