#include "USB2Lib.h"

#include "LibrarySearch.h"

#include <QFileInfo>
#include <QLibrary>

QString usbLibraryFileName() {
#if defined(Q_OS_WIN)
    return QStringLiteral("mpusbapi.dll");
#elif defined(Q_OS_MACOS)
    return QStringLiteral("libmpusbapi.dylib");
#else
    return QStringLiteral("libmpusbapi.so");
#endif
}

UsbLibrary::UsbLibrary() = default;
// The QLibrary goes, the library stays loaded (PreventUnloadHint).
UsbLibrary::~UsbLibrary() = default;

LibraryLoad UsbLibrary::load(const QString& fileName, const QStringList& firstDirs,
                             const QString& programDir) {
    LibraryLoad outcome;
    outcome.fileName = fileName;
    const QStringList candidates =
        usbLibraryCandidates(fileName, firstDirs, programDir, usbLibraryMultiarch());

    std::unique_ptr<QLibrary> library;
    for (qsizetype i = 0; i < candidates.size() && library == nullptr; ++i) {
        const bool systemSearch = i == candidates.size() - 1;
        if (!systemSearch && !QFileInfo::exists(candidates[i])) {
            continue;
        }
        auto attempt = std::make_unique<QLibrary>(candidates[i]);
        attempt->setLoadHints(QLibrary::PreventUnloadHint);
        if (attempt->load()) {
            library = std::move(attempt);
        } else if (!systemSearch) {
            // There but unloadable (a missing libusb, a broken file): not "not found".
            outcome.result = LibraryLoad::Result::WillNotLoad;
            outcome.loaderError = attempt->errorString();
            return outcome;
        }
    }
    if (library == nullptr) {
        outcome.result = LibraryLoad::Result::NotFound;
        return outcome;
    }
    UsbEntryPoints resolved;
    if (!resolveEntryPoints(resolved,
                            [&library](const char* name) { return library->resolve(name); })) {
        outcome.result = LibraryLoad::Result::EntryPointMissing;
        return outcome;
    }
    library_ = std::move(library);
    entries_ = resolved;
    outcome.result = LibraryLoad::Result::Loaded;
    outcome.api = usbApiOf(entries_);
    return outcome;
}
