#include "USB2Lib.h"

#include "DataFiles.h"
#include "LibrarySearch.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLibrary>

#include <memory>

QString usbLibraryFileName() {
#if defined(Q_OS_WIN)
    return QStringLiteral("mpusbapi.dll");
#elif defined(Q_OS_MACOS)
    return QStringLiteral("libmpusbapi.dylib");
#else
    return QStringLiteral("libmpusbapi.so");
#endif
}

bool LoadUsbLibrary(UsbApi& api, Dialogs& dialogs, const QString& fileName,
                    const QStringList& firstDirs) {
    const QStringList candidates =
        usbLibraryCandidates(fileName, firstDirs, runningProgramDir(), usbLibraryMultiarch());

    // Never unloaded (PreventUnloadHint): the library stays until the process
    // ends; the application object owns the QLibrary that loaded it.
    QLibrary* library = nullptr;
    for (qsizetype i = 0; i < candidates.size() && library == nullptr; ++i) {
        const bool systemSearch = i == candidates.size() - 1;
        if (!systemSearch && !QFileInfo::exists(candidates[i])) {
            continue;
        }
        auto attempt = std::make_unique<QLibrary>(candidates[i]);
        attempt->setLoadHints(QLibrary::PreventUnloadHint);
        if (attempt->load()) {
            attempt->setParent(QCoreApplication::instance());
            library = attempt.release();
        } else if (!systemSearch) {
            // There but unloadable (a missing libusb, a broken file): not "introuvable".
            dialogs.message(QStringLiteral("Erreur lors du chargement de ") + fileName +
                            QLatin1Char('\n') + attempt->errorString());
            return false;
        }
    }
    if (library == nullptr) {
        dialogs.message(QStringLiteral("Fichier ") + fileName + QStringLiteral(" introuvable"));
        return false;
    }

    UsbApi resolved;
    const bool ok =
        resolveUsbApi(resolved, [library](const char* name) { return library->resolve(name); });
    if (!ok) {
        dialogs.message(QStringLiteral("Erreur lors du chargement de ") + fileName);
        return false;
    }
    api = resolved;
    return true;
}
