#pragma once

#include <cstring>
#include <optional>
#include <set>

#include "PanelFirmware.h"
#include "UsbApi.h"

// The UsbApi seam served in-process by the virtual panel's firmware core, so
// the window's handlers run against a panel that behaves like the real one.
// The C entry points find the panel through one static pointer, set while
// an instance lives.
struct FirmwareUsb {
    static inline FirmwareUsb* current = nullptr;

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
        : firmware(std::move(now)) {
        current = this;
    }
    ~FirmwareUsb() { current = nullptr; }
    FirmwareUsb(const FirmwareUsb&) = delete;
    FirmwareUsb& operator=(const FirmwareUsb&) = delete;

    static bool load(UsbApi& api) {
        api.getDeviceCount = [](const char*) -> std::uint32_t { return current->present ? 1 : 0; };
        api.getDllVersion = []() -> std::uint32_t { return 1; };
        api.open = [](std::uint32_t, const char*, const char*, std::uint32_t,
                      std::uint32_t) -> std::uint32_t {
            ++current->opens;
            current->openPipes.insert(++current->nextHandle);
            return current->nextHandle;
        };
        api.close = [](std::uint32_t handle) -> std::uint32_t {
            return current->openPipes.erase(handle) ? 1 : 0;
        };
        api.write = [](std::uint32_t handle, void* data, std::uint32_t, std::uint32_t* count,
                       std::uint32_t) -> std::uint32_t {
            if (!current->openPipes.count(handle)) {
                return 0;
            }
            ++current->writes;
            panelsim::Report out;
            std::memcpy(out.data(), data, out.size());
            current->pending = current->firmware.handle(out);
            *count = 64;
            return 1;
        };
        api.read = [](std::uint32_t handle, void* data, std::uint32_t, std::uint32_t* count,
                      std::uint32_t) -> std::uint32_t {
            if (!current->openPipes.count(handle) || current->silent || !current->pending) {
                return 0;
            }
            std::memcpy(data, current->pending->data(), 64);
            current->pending.reset();
            *count = 64;
            return 1;
        };
        return true;
    }
};
