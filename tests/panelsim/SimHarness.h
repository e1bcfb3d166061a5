// Pipes of the built libmpusbapi, for tests that go through the real library
// and socket to a panelsim started with PanelSimProcess.
#pragma once

#include <QLibrary>
#include <QTest>

#include <array>
#include <chrono>
#include <cstdint>
#include <optional>

#include "MpusbLibrary.h"
#include "PanelSimProcess.h"
#include "mpusbapi.h"

inline constexpr char kPanelId[] = "vid_04d8&pid_000c";
inline constexpr char kEndpoint[] = "\\MCHP_EP1";

using Bytes = std::array<std::uint8_t, 64>;

// Both pipes of one operation, closed read pipe first as the program does.
struct Pipes {
    MpusbLibrary& lib;
    std::uint32_t write;
    std::uint32_t read;
    explicit Pipes(MpusbLibrary& l)
        : lib(l),
          write(l.open(0, kPanelId, kEndpoint, MPUSB_DIR_WRITE, 0)),
          read(l.open(0, kPanelId, kEndpoint, MPUSB_DIR_READ, 0)) {}
    ~Pipes() {
        lib.close(read);
        lib.close(write);
    }
    bool valid() const { return write != MPUSB_INVALID_HANDLE && read != MPUSB_INVALID_HANDLE; }

    bool send(Bytes out, std::uint32_t timeoutMs = 1000) {
        std::uint32_t n = 0;
        return lib.write(write, out.data(), 64, &n, timeoutMs) != 0 && n == 64;
    }
    // A command that has a reply: written, and its reply read (1000 ms).
    std::optional<Bytes> ask(std::uint8_t code) {
        Bytes out{};
        out[0] = code;
        return send(out) ? receive(1000) : std::nullopt;
    }
    std::optional<Bytes> receive(std::uint32_t timeoutMs) {
        Bytes in{};
        std::uint32_t n = 0;
        if (lib.read(read, in.data(), 64, &n, timeoutMs) == 0) {
            return std::nullopt;
        }
        return in;
    }
};

inline Bytes command(std::uint8_t code) {
    Bytes b{};
    b[0] = code;
    return b;
}
