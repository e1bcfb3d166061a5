#pragma once

#include <cstring>
#include <optional>
#include <set>

#include "PanelFirmware.h"
#include "USB2Lib.h"
#include "UsbApi.h"

// The UsbApi seam served in-process by the virtual panel's firmware core, so
// the window's handlers run against a panel that behaves like the real one.
// The entry points find the panel through the seam's context.
struct FirmwareUsb {
    panelsim::PanelFirmware firmware;
    bool present = true;
    bool silent = false;  // accepts requests, never answers
    int opens = 0;
    int writes = 0;
    std::set<std::uint32_t> openPipes;
    std::optional<panelsim::Report> pending;
    std::uint32_t nextHandle = 10;

    explicit FirmwareUsb(panelsim::PanelFirmware::Now now =
                             [] { return std::chrono::system_clock::now(); })
        : firmware(std::move(now)) {}
    FirmwareUsb(const FirmwareUsb&) = delete;
    FirmwareUsb& operator=(const FirmwareUsb&) = delete;

    UsbApi api() {
        UsbApi api;
        api.context = this;
        api.getDeviceCount = [](void* c, const char*) -> std::uint32_t {
            return of(c).present ? 1 : 0;
        };
        api.getDllVersion = [](void*) -> std::uint32_t { return 1; };
        api.open = [](void* c, std::uint32_t, const char*, const char*, std::uint32_t,
                      std::uint32_t) -> std::uint32_t {
            auto& usb = of(c);
            ++usb.opens;
            usb.openPipes.insert(++usb.nextHandle);
            return usb.nextHandle;
        };
        api.close = [](void* c, std::uint32_t handle) -> std::uint32_t {
            return of(c).openPipes.erase(handle) ? 1 : 0;
        };
        api.write = [](void* c, std::uint32_t handle, void* data, std::uint32_t,
                       std::uint32_t* count, std::uint32_t) -> std::uint32_t {
            auto& usb = of(c);
            if (!usb.openPipes.count(handle)) {
                return 0;
            }
            ++usb.writes;
            panelsim::Report out;
            std::memcpy(out.data(), data, out.size());
            usb.pending = usb.firmware.handle(out);
            *count = 64;
            return 1;
        };
        api.read = [](void* c, std::uint32_t handle, void* data, std::uint32_t,
                      std::uint32_t* count, std::uint32_t) -> std::uint32_t {
            auto& usb = of(c);
            if (!usb.openPipes.count(handle) || usb.silent || !usb.pending) {
                return 0;
            }
            std::memcpy(data, usb.pending->data(), 64);
            usb.pending.reset();
            *count = 64;
            return 1;
        };
        return api;
    }

    // The binding as the window's seam gives it: loaded, with these entry points.
    LibraryLoad loaded() {
        LibraryLoad load;
        load.result = LibraryLoad::Result::Loaded;
        load.api = api();
        return load;
    }

private:
    static FirmwareUsb& of(void* context) { return *static_cast<FirmwareUsb*>(context); }
};
