#include "USB2Lib.h"

#include <QCoreApplication>
#include <QDir>
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
    QStringList candidates;
    QStringList dirs = firstDirs;
    if (QCoreApplication::instance() != nullptr) {
        dirs.append(QCoreApplication::applicationDirPath());
    }
    for (const QString& dir : dirs) {
        const QString path = QDir(dir).filePath(fileName);
        if (QFileInfo::exists(path)) {
            candidates.append(path);
        }
    }
    candidates.append(fileName);  // the platform's own search

    // Never unloaded (PreventUnloadHint): the library stays until the process
    // ends; the application object owns the QLibrary that loaded it.
    QLibrary* library = nullptr;
    for (const QString& candidate : candidates) {
        auto attempt = std::make_unique<QLibrary>(candidate);
        attempt->setLoadHints(QLibrary::PreventUnloadHint);
        if (attempt->load()) {
            attempt->setParent(QCoreApplication::instance());
            library = attempt.release();
            break;
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
