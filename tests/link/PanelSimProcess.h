#pragma once

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <QThread>

// A panelsim of its own on a socket in a fresh folder, for tests and
// benchmarks against the real library; stopped and removed on destruction.
class PanelSimProcess {
public:
    // The folder of the built programs and libmpusbapi.so: LUMI_BIN_DIR, else
    // build/bin beside the running program's folder.
    static QString binDir() {
        const QString fromEnv = qEnvironmentVariable("LUMI_BIN_DIR");
        if (!fromEnv.isEmpty()) {
            return fromEnv;
        }
        return QDir(QCoreApplication::applicationDirPath()).absoluteFilePath("../bin");
    }

    explicit PanelSimProcess(const QStringList& options = {}) {
        socket_ = dir_.filePath("panel.sock");
        process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process_.setStandardOutputFile(QProcess::nullDevice());
        process_.start(QDir(binDir()).filePath("panelsim"),
                       QStringList{"--socket", socket_} + options);
        if (!process_.waitForStarted(5000)) {
            return;
        }
        // Listening once the socket file shows up.
        const QDeadlineTimer deadline(5000);
        while (!deadline.hasExpired() && process_.state() == QProcess::Running) {
            if (QFileInfo::exists(socket_)) {
                ready_ = true;
                return;
            }
            QThread::msleep(5);
        }
    }
    ~PanelSimProcess() {
        if (process_.state() != QProcess::NotRunning) {
            process_.terminate();
            if (!process_.waitForFinished(3000)) {
                process_.kill();
                process_.waitForFinished(3000);
            }
        }
    }
    PanelSimProcess(const PanelSimProcess&) = delete;
    PanelSimProcess& operator=(const PanelSimProcess&) = delete;

    bool ready() const { return ready_; }
    QString socketPath() const { return socket_; }
    QString folder() const { return dir_.path(); }
    QString errorText() const { return process_.errorString(); }

    // Points the library at this panel; read by the library on every call.
    void select() const { qputenv("MPUSBAPI_VIRTUAL", socket_.toLocal8Bit()); }

private:
    QTemporaryDir dir_;
    QString socket_;
    QProcess process_;
    bool ready_ = false;
};
