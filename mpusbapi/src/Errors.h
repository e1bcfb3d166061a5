#pragma once

namespace mpusb {

// The errno value that stands for a libusb error code.
int errnoFromLibusb(int libusbError);

// Notes a failed libusb call: on stderr when MPUSBAPI_DEBUG is set (to
// anything but "0"), nowhere otherwise. Returns errnoFromLibusb(libusbError).
int libusbFailed(const char* call, int libusbError);

// A line on stderr under MPUSBAPI_DEBUG only.
void debugNote(const char* text);
// Whether MPUSBAPI_DEBUG asks for those lines.
bool debugging();

}  // namespace mpusb
