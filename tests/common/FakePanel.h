#pragma once

#include <cerrno>
#include <cstring>
#include <map>

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include "Dialogs.h"
#include "LinkOutcome.h"
#include "PanelClock.h"
#include "PanelLink.h"
#include "RecordingDialogs.h"
#include "UsbApi.h"

// How the log names a failing step.
inline QString stepName(LinkFailure::Step step) {
    switch (step) {
        case LinkFailure::Step::Open:
            return QStringLiteral("open");
        case LinkFailure::Step::Write:
            return QStringLiteral("write");
        case LinkFailure::Step::Read:
            return QStringLiteral("read");
        case LinkFailure::Step::Refused:
            return QStringLiteral("refused");
    }
    return {};
}

// An in-process panel behind the UsbApi seam; the entry points reach it
// through the seam's context, so several panels live side by side. Every
// call, and every dialog shown through LoggingDialogs, goes into one log, so
// tests see the order of opens, transfers, dialogs and closes.
struct FakePanel {
    static constexpr std::uint32_t kInvalid = 0xFFFFFFFF;  // a pipe that could not be opened

    // Script
    std::uint32_t deviceCount = 1;
    int failWriteAt = 0;  // 1-based write that fails; 0: none
    bool failRead = false;
    int failErrno = 0;           // errno a failing write or read leaves; close then sets EIO
    std::uint32_t instance = 0;  // the panel instance the link must open
    int openErrno = 0;           // nonzero: opens fail with it, as for a device not ours
    int countErrno = 0;          // errno a count of 0 leaves
    Report reply{};
    // A text send's first chunk becomes the reply, as a read then returns it.
    bool echoText = false;

    // Observations
    QStringList log;
    QList<Report> received;              // reports of successful writes
    QStringList faults;                  // arguments the link should never pass
    std::map<std::uint32_t, char> open;  // handle -> 'w' or 'r'
    int writes = 0;
    std::uint32_t nextHandle = 0x100;

    FakePanel() = default;
    FakePanel(const FakePanel&) = delete;
    FakePanel& operator=(const FakePanel&) = delete;

    static FakePanel& of(void* context) { return *static_cast<FakePanel*>(context); }

    UsbApi api() {
        UsbApi a;
        a.context = this;
        a.getDeviceCount = [](void* c, const char* id) -> std::uint32_t {
            auto& p = of(c);
            p.checkId(id);
            p.log << QStringLiteral("count");
            if (p.deviceCount == 0) {
                errno = p.countErrno;
            }
            return p.deviceCount;
        };
        a.open = [](void* c, std::uint32_t instance, const char* id, const char* endpoint,
                    std::uint32_t direction, std::uint32_t reserved) -> std::uint32_t {
            auto& p = of(c);
            p.checkId(id);
            if (instance != p.instance || reserved != 0 ||
                std::strcmp(endpoint, "\\MCHP_EP1") != 0 || direction > 1) {
                p.faults << QStringLiteral("open arguments");
            }
            const char kind = direction == 0 ? 'w' : 'r';
            p.log << QStringLiteral("open %1").arg(QLatin1Char(kind));
            if (p.openErrno != 0) {
                errno = p.openErrno;
                return kInvalid;
            }
            p.open[++p.nextHandle] = kind;
            return p.nextHandle;
        };
        a.close = [](void* c, std::uint32_t handle) -> std::uint32_t {
            auto& p = of(c);
            if (handle == kInvalid) {  // the link closes what it opened, failed or not
                errno = EINVAL;
                return 0;
            }
            const auto it = p.open.find(handle);
            if (it == p.open.end()) {
                p.faults << QStringLiteral("close of a pipe not open");
                return 0;
            }
            p.log << QStringLiteral("close %1").arg(QLatin1Char(it->second));
            p.open.erase(it);
            if (p.failErrno != 0) {
                errno = EIO;  // a later call's errno must not hide the failure's
            }
            return 1;
        };
        a.getDllVersion = [](void*) -> std::uint32_t { return 0x01000000; };
        a.write = [](void* c, std::uint32_t handle, void* data, std::uint32_t length,
                     std::uint32_t* transferred, std::uint32_t timeoutMs) -> std::uint32_t {
            auto& p = of(c);
            p.log << QStringLiteral("write %1").arg(timeoutMs);
            if (handle == kInvalid) {
                errno = EINVAL;
                return 0;
            }
            p.checkPipe(handle, 'w', length, transferred);
            if (++p.writes == p.failWriteAt) {
                errno = p.failErrno;
                return 0;
            }
            Report r;
            std::memcpy(r.data(), data, r.size());
            p.received << r;
            if (p.echoText && r[0] == 0x58 && r[1] == 0) {
                p.reply = r;
                p.reply[0] = 0xAA;
                p.reply[1] = 0;
            }
            *transferred = 64;
            return 1;
        };
        a.read = [](void* c, std::uint32_t handle, void* data, std::uint32_t length,
                    std::uint32_t* transferred, std::uint32_t timeoutMs) -> std::uint32_t {
            auto& p = of(c);
            p.log << QStringLiteral("read %1").arg(timeoutMs);
            if (handle == kInvalid) {
                errno = EINVAL;
                return 0;
            }
            p.checkPipe(handle, 'r', length, transferred);
            if (p.failRead) {
                errno = p.failErrno;
                return 0;
            }
            std::memcpy(data, p.reply.data(), p.reply.size());
            *transferred = 64;
            return 1;
        };
        return a;
    }

    // A callback of the link's that notes, in the log, the moment it ran
    // (while the pipes are open) and the outcome's failing step.
    template <typename Outcome>
    WhileOpen<Outcome> noting() {
        return [this](const Outcome& outcome) {
            log << (outcome.failure ? QStringLiteral("failed at ") + stepName(outcome.failure->step)
                                    : QStringLiteral("done"));
        };
    }

    void checkId(const char* id) {
        if (std::strcmp(id, "vid_04d8&pid_000c") != 0) {
            faults << QStringLiteral("device id %1").arg(QLatin1String(id));
        }
    }
    void checkPipe(std::uint32_t handle, char kind, std::uint32_t length,
                   std::uint32_t* transferred) {
        const auto it = open.find(handle);
        if (it == open.end() || it->second != kind) {
            faults << QStringLiteral("transfer on the wrong pipe");
        }
        if (length != 64 || transferred == nullptr) {
            faults << QStringLiteral("transfer arguments");
        }
    }
};

// Records dialogs like RecordingDialogs and also notes them in the panel's log.
class LoggingDialogs final : public Dialogs {
public:
    explicit LoggingDialogs(FakePanel& panel) : panel_(panel) {}
    RecordingDialogs rec;

    void error(const QString& text) override {
        note(u"error", text);
        rec.error(text);
    }
    void confirm(const QString& text) override {
        note(u"confirm", text);
        rec.confirm(text);
    }
    bool askYesNo(const QString& text) override {
        note(u"ask", text);
        return rec.askYesNo(text);
    }
    void message(const QString& text) override {
        note(u"message", text);
        rec.message(text);
    }
    std::optional<QString> inputText(const QString& title, const QString& prompt,
                                     int maxLength) override {
        note(u"input", prompt);
        return rec.inputText(title, prompt, maxLength);
    }
    void reportError(const QString& message) override {
        note(u"report", errorReportText(message));
        rec.reportError(message);
    }

private:
    void note(const char16_t* kind, const QString& text) {
        panel_.log << QString::fromUtf16(kind) + QStringLiteral(": ") + text;
    }
    FakePanel& panel_;
};

// A report from its leading bytes, the rest zero.
inline Report reportOf(std::initializer_list<int> bytes) {
    Report r{};
    std::size_t i = 0;
    for (const int b : bytes) {
        r[i++] = static_cast<std::uint8_t>(b);
    }
    return r;
}

// A report's bytes, comparable with QCOMPARE.
inline QByteArray bytesOf(const Report& r) {
    return QByteArray(reinterpret_cast<const char*>(r.data()), static_cast<qsizetype>(r.size()));
}

// The record's fields, comparable (a memcmp would also compare padding).
inline QList<int> fields(const PanelClock& c) {
    return {c.hour, c.minute,    c.second,      c.day,    c.month,
            c.year, c.alarmHour, c.alarmMinute, c.alarmOn};
}
