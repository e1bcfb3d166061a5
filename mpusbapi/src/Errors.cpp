#include "Errors.h"

#include <libusb.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace mpusb {

bool debugging() {
    const char* value = std::getenv("MPUSBAPI_DEBUG");
    return value != nullptr && *value != '\0' && std::strcmp(value, "0") != 0;
}

int errnoFromLibusb(int libusbError) {
    switch (libusbError) {
        case LIBUSB_SUCCESS:
            return 0;
        case LIBUSB_ERROR_ACCESS:
            return EACCES;
        case LIBUSB_ERROR_NO_DEVICE:
        case LIBUSB_ERROR_NOT_FOUND:
            return ENODEV;
        case LIBUSB_ERROR_TIMEOUT:
            return ETIMEDOUT;
        case LIBUSB_ERROR_BUSY:
            return EBUSY;
        case LIBUSB_ERROR_INVALID_PARAM:
            return EINVAL;
        case LIBUSB_ERROR_PIPE:
            return EPIPE;
        case LIBUSB_ERROR_OVERFLOW:
            return EOVERFLOW;
        case LIBUSB_ERROR_NO_MEM:
            return ENOMEM;
        case LIBUSB_ERROR_INTERRUPTED:
            return EINTR;
        case LIBUSB_ERROR_NOT_SUPPORTED:
            return ENOTSUP;
        default:
            return EIO;
    }
}

int libusbFailed(const char* call, int libusbError) {
    if (debugging()) {
        std::fprintf(stderr, "mpusbapi: %s: %s\n", call, libusb_error_name(libusbError));
    }
    return errnoFromLibusb(libusbError);
}

void debugNote(const char* text) {
    if (debugging()) {
        std::fprintf(stderr, "mpusbapi: %s\n", text);
    }
}

}  // namespace mpusb
