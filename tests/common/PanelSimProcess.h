#pragma once

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

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

    // withState: the panel keeps its memory in statePath(), for tests to look at.
    explicit PanelSimProcess(const QStringList& options = {}, bool withState = false) {
        socket_ = dir_.filePath("panel.sock");
        const QStringList state = withState ? QStringList{"--state", statePath()} : QStringList{};
        process_.setStandardOutputFile(QProcess::nullDevice());
        process_.setReadChannel(QProcess::StandardError);
        process_.start(QDir(binDir()).filePath("panelsim"),
                       QStringList{"--socket", socket_} + state + options);
        // Listening once it says so; the socket file alone shows up before listen().
        QByteArray said;
        const QDeadlineTimer deadline(5000);
        while (!deadline.hasExpired() && process_.waitForReadyRead(deadline.remainingTime())) {
            said += process_.readAllStandardError();
            if (said.contains("serving on")) {
                ready_ = true;
                return;
            }
        }
        error_ = process_.errorString() + QStringLiteral(": ") + QString::fromLocal8Bit(said);
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
    QString statePath() const { return dir_.filePath("panel.state"); }
    QString errorText() const { return error_; }

    // Points the library at this panel; read by the library on every call.
    void select() const { qputenv("MPUSBAPI_VIRTUAL", socket_.toLocal8Bit()); }

private:
    QTemporaryDir dir_;
    QString socket_;
    QProcess process_;
    QString error_;
    bool ready_ = false;
};
