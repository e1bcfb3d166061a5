#pragma once

#include <memory>

#include <QString>
#include <QStringList>

#include "UsbApi.h"

class QLibrary;

// The platform's file name of the panel's USB library: "mpusbapi.dll" on
// Windows, "libmpusbapi.so" on Linux, "libmpusbapi.dylib" on macOS.
QString usbLibraryFileName();

// How binding the USB library went.
struct LibraryLoad {
    enum class Result {
        Loaded,
        NotFound,           // no candidate exists and the system search found none
        WillNotLoad,        // a file is there but the loader refused it (loaderError says why)
        EntryPointMissing,  // loaded, but one of the six entry points is not exported
    };
    Result result = Result::NotFound;
    QString fileName;     // the library's file name, as it was looked for
    QString loaderError;  // WillNotLoad: the loader's own words
    UsbApi api;           // Loaded: the entry points, valid while the UsbLibrary lives
    bool ok() const { return result == Result::Loaded; }
};

// The panel's USB library, loaded once and never unloaded: the library stays
// until the process ends, and so must this object (main() owns it).
class UsbLibrary {
public:
    UsbLibrary();
    ~UsbLibrary();
    UsbLibrary(const UsbLibrary&) = delete;
    UsbLibrary& operator=(const UsbLibrary&) = delete;

    // Loads fileName from the first of usbLibraryCandidates() that exists
    // (firstDirs, programDir, then the lib folders beside it and their
    // private lumiboard folders), else by the platform's ordinary library
    // search, and resolves its six
    // entry points. A file that is there but will not load is not passed
    // over for one further down.
    LibraryLoad load(const QString& fileName, const QStringList& firstDirs,
                     const QString& programDir);

private:
    std::unique_ptr<QLibrary> library_;
    UsbEntryPoints entries_;
};
