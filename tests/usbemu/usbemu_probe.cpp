// Counts and opens the panel through the built library and prints what came
// back, errno included: run by tst_mpusbapi_usb as another user.
#include <dlfcn.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "mpusbapi.h"

int main() {
    const char* dir = std::getenv("LUMI_BIN_DIR");
    const std::string path = std::string(dir != nullptr ? dir : ".") + "/libmpusbapi.so";
    void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) {
        std::printf("dlopen: %s\n", dlerror());
        return 1;
    }
    const auto count =
        reinterpret_cast<MPUSBGetDeviceCountFn>(dlsym(library, "_MPUSBGetDeviceCount"));
    const auto open = reinterpret_cast<MPUSBOpenFn>(dlsym(library, "_MPUSBOpen"));
    if (count == nullptr || open == nullptr) {
        std::printf("entry points missing\n");
        return 1;
    }
    const char* id = "vid_04d8&pid_000c";
    const unsigned n = count(id);
    errno = 0;
    const unsigned write = open(0, id, "\\MCHP_EP1", MPUSB_DIR_WRITE, 0);
    const int writeError = errno;
    errno = 0;
    const unsigned read = open(0, id, "\\MCHP_EP1", MPUSB_DIR_READ, 0);
    const int readError = errno;
    std::printf("count=%u write=%x errno=%d read=%x errno=%d\n", n, write, writeError, read,
                readError);
    return 0;
}
