#pragma once

#include "BinDir.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

#include <functional>

// The one launcher of panelsim for tests and benchmarks: a panelsim of its
// own on a socket in a fresh folder (or one given), against the real library;
// stopped on destruction.
class PanelSimProcess {
public:
    // The folder of the built programs and libmpusbapi.so: LUMI_BIN_DIR, else
    // build/bin beside the running program's folder.
    static QString binDir() { return builtBinDir(); }

    // Started at once. withState: the panel keeps its memory in statePath(),
    // for tests to look at.
    explicit PanelSimProcess(const QStringList& options = {}, bool withState = false)
        : withState_(withState) {
        start(options);
    }

    // Not started yet: start() runs it, and runs it again after stop(). The
    // socket and state file go into folder (default: a fresh one).
    struct NotStarted {};
    static constexpr NotStarted notStarted{};
    explicit PanelSimProcess(NotStarted, const QString& folder = {}) : folder_(folder) {}

    ~PanelSimProcess() { stop(); }
    PanelSimProcess(const PanelSimProcess&) = delete;
    PanelSimProcess& operator=(const PanelSimProcess&) = delete;

    // Runs panelsim with options and waits until it says it serves; false if
    // it did not come up (errorText() and output() then say why).
    bool start(const QStringList& options = {}) {
        ready_ = false;
        process_.setStandardOutputFile(QProcess::nullDevice());
        process_.setReadChannel(QProcess::StandardError);
        if (childSetup_) {
            process_.setChildProcessModifier(childSetup_);
        }
        const QStringList state = withState_ ? QStringList{"--state", statePath()} : QStringList{};
        process_.start(QDir(binDir()).filePath("panelsim"),
                       QStringList{"--socket", socketPath()} + state + options);
        // Listening once it says so; the socket file alone shows up before listen().
        const qsizetype from = output_.size();
        const QDeadlineTimer deadline(10000);
        while (!deadline.hasExpired()) {
            const bool more = process_.waitForReadyRead(deadline.remainingTime());
            output_ += process_.readAllStandardError();
            if (output_.indexOf("panelsim: en service sur", from) >= 0) {
                ready_ = true;
                return true;
            }
            if (!more && process_.state() == QProcess::NotRunning) {
                break;
            }
        }
        error_ = process_.errorString() + QStringLiteral(": ") +
                 QString::fromLocal8Bit(output_.mid(from));
        return false;
    }

    // Stops it with SIGTERM: its exit code, or -1 if it had to be killed or
    // did not run.
    int stop() {
        if (process_.state() != QProcess::NotRunning) {
            process_.terminate();
            if (!process_.waitForFinished(5000)) {
                kill();
                return -1;
            }
        }
        output_ += process_.readAllStandardError();
        ready_ = false;
        return process_.exitStatus() == QProcess::NormalExit ? process_.exitCode() : -1;
    }

    void kill() {
        process_.kill();
        process_.waitForFinished(5000);
        output_ += process_.readAllStandardError();
        ready_ = false;
    }

    // Runs in the child before panelsim starts (limits, user), from the next start() on.
    void setChildSetup(std::function<void()> setup) { childSetup_ = std::move(setup); }

    bool ready() const { return ready_; }
    // Still running (not yet seen to end by the event loop).
    bool running() const { return process_.state() != QProcess::NotRunning; }
    QString socketPath() const { return QDir(folder()).filePath("panel.sock"); }
    QString folder() const { return folder_.isEmpty() ? dir_.path() : folder_; }
    QString statePath() const { return QDir(folder()).filePath("panel.state"); }
    QString errorText() const { return error_; }
    // Everything it wrote on stderr so far, across runs.
    QString output() {
        output_ += process_.readAllStandardError();
        return QString::fromLocal8Bit(output_);
    }
    qint64 pid() const { return process_.processId(); }

    // Points the library at this panel; read by the library on every call.
    void select() const { qputenv("MPUSBAPI_VIRTUAL", socketPath().toLocal8Bit()); }

private:
    QTemporaryDir dir_;
    QString folder_;
    bool withState_ = false;
    QProcess process_;
    QByteArray output_;
    QString error_;
    bool ready_ = false;
    std::function<void()> childSetup_;
};
