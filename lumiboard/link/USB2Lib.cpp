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

namespace {

template <typename Fn>
bool resolve(QLibrary& library, const char* name, Fn& target) {
    target = reinterpret_cast<Fn>(library.resolve(name));
    return target != nullptr;
}

}  // namespace

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
    // All six are looked up before the one test, as the vendor's loader does.
    bool ok = resolve(*library, "_MPUSBOpen", resolved.open);
    ok &= resolve(*library, "_MPUSBClose", resolved.close);
    ok &= resolve(*library, "_MPUSBGetDLLVersion", resolved.getDllVersion);
    ok &= resolve(*library, "_MPUSBGetDeviceCount", resolved.getDeviceCount);
    ok &= resolve(*library, "_MPUSBRead", resolved.read);
    ok &= resolve(*library, "_MPUSBWrite", resolved.write);
    if (!ok) {
        dialogs.message(QStringLiteral("Erreur lors du chargement de ") + fileName);
        return false;
    }
    api = resolved;
    return true;
}
