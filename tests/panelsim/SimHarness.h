// Starts build/bin/panelsim on a private socket and loads the built
// libmpusbapi, for tests that go through the real library and socket.
#pragma once

#include <QLibrary>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>

#include <array>
#include <chrono>
#include <cstdint>
#include <memory>
#include <thread>

#include "MpusbLibrary.h"
#include "mpusbapi.h"

inline QString binDir() {
    return qEnvironmentVariable("LUMI_BIN_DIR");
}

inline constexpr char kPanelId[] = "vid_04d8&pid_000c";
inline constexpr char kEndpoint[] = "\\MCHP_EP1";

using Bytes = std::array<std::uint8_t, 64>;

// One panelsim process on <dir>/panel.sock, stopped with SIGTERM at the end.
class Sim {
public:
    explicit Sim(const QString& dir) : socket_(dir + "/panel.sock") {}
    ~Sim() { stop(); }

    // Starts panelsim and waits until it says it serves; false if it did not
    // come up (stderr then holds why).
    bool start(const QStringList& extra = {}) {
        process_ = std::make_unique<QProcess>();
        process_->setReadChannel(QProcess::StandardError);
        process_->start(binDir() + "/panelsim", QStringList{"--socket", socket_} + extra);
        if (!process_->waitForStarted(5000)) {
            return false;
        }
        QByteArray said;
        while (!said.contains("panelsim: serving on")) {
            if (!process_->waitForReadyRead(5000)) {
                stderr_ += QString::fromUtf8(said);
                return false;
            }
            said += process_->readAllStandardError();
        }
        stderr_ += QString::fromUtf8(said);
        return true;
    }

    // Stops with SIGTERM; the exit code, or -1 if it had to be killed.
    int stop() {
        if (!process_) {
            return -1;
        }
        if (process_->state() != QProcess::NotRunning) {
            process_->terminate();
            if (!process_->waitForFinished(5000)) {
                process_->kill();
                process_->waitForFinished(5000);
                return -1;
            }
        }
        stderr_ += QString::fromUtf8(process_->readAllStandardError());
        const int code = process_->exitStatus() == QProcess::NormalExit ? process_->exitCode() : -1;
        process_.reset();
        return code;
    }

    void kill() {
        process_->kill();
        process_->waitForFinished(5000);
        process_.reset();
    }

    QProcess* process() { return process_.get(); }
    const QString& socket() const { return socket_; }
    QString errors() const { return stderr_; }

private:
    QString socket_;
    std::unique_ptr<QProcess> process_;
    QString stderr_;
};

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
