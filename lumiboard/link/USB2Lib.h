#pragma once

#include <QString>
#include <QStringList>

#include "Dialogs.h"
#include "UsbApi.h"

// The platform's file name of the panel's USB library: "mpusbapi.dll" on
// Windows, "libmpusbapi.so" on Linux, "libmpusbapi.dylib" on macOS.
QString usbLibraryFileName();

// Loads the USB library and resolves its six entry points into api, from the
// first of usbLibraryCandidates() that exists (firstDirs, the program's folder,
// <program folder>/../lib), else by the platform's ordinary library search. On
// failure shows the binding's plain message and returns false; the library,
// once loaded, stays loaded.
bool LoadUsbLibrary(UsbApi& api, Dialogs& dialogs, const QString& fileName = usbLibraryFileName(),
                    const QStringList& firstDirs = {});
