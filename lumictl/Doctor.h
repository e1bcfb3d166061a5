#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <QStringList>

#include "LinkOutcome.h"
#include "PanelLock.h"
#include "USB2Lib.h"

// lumictl doctor: what stands between this user and the panel, checked step
// by step on a machine a test may fake.

// The USB library as the program binds it, and the file it came from.
struct LibraryFound {
    LibraryLoad load;
    QString path;  // the file bound (or refused); empty when none was found
};

// One USB device as sysfs shows it.
struct UsbDeviceEntry {
    quint16 vendor = 0;
    quint16 product = 0;
    int bus = 0;
    int device = 0;
};

// A device node: whether this user opened it read-write, and who may.
struct NodeAccess {
    int openError = 0;  // 0: opened; else the errno of the open
    QString user;       // this user's name
    QString owner;
    QString group;
    unsigned mode = 0;     // permission bits
    bool hasAcl = false;   // an access list gives more (udev's "uaccess" does)
    bool inGroup = false;  // this user belongs to the node's group
};

// Whether the daily clock setting is enabled in the user's systemd.
enum class TimerState { Enabled, Disabled, NotInstalled, NoUserBus, NoSystemctl };

// The panel's clock as read through the session.
struct ClockCheck {
    std::optional<LinkFailure> failure;
    std::optional<qint64> drift;  // none: the panel's time or date is not valid
};

// The machine as the checks see it; the real one reads sysfs, /dev, udev's
// folders, the lock, the socket and systemd.
struct DoctorMachine {
    std::function<LibraryFound()> library;
    // The rule files that let udev give the panel to a user, as udev picks them.
    std::function<QStringList()> panelRules;
    // A copy of the rule to install (the package's, or the source tree's).
    QString ruleSource;
    std::function<std::vector<UsbDeviceEntry>()> usbDevices;
    std::function<NodeAccess(const QString& node)> nodeAccess;
    std::function<std::optional<LockHolder>()> lockHolder;
    // The virtual panel's socket in use (MPUSBAPI_VIRTUAL or --virtual); empty: USB.
    QString virtualSocket;
    bool virtualFromOption = false;  // given as --virtual: fixes repeat it
    // 0 when something listens on the socket; else the errno of the connect.
    std::function<int(const QString& socket)> connectSocket;
    std::function<ClockCheck()> readClock;
    std::function<TimerState()> syncTimer;
    std::uint32_t instance = 0;
};

enum class DoctorStep {
    Library,
    UdevRule,
    Device,
    DeviceNode,
    Lock,
    VirtualPanel,
    Clock,
    SyncTimer
};

struct DoctorCheck {
    enum class Mark { Passed, Failed, Skipped };
    DoctorStep step = DoctorStep::Library;
    Mark mark = Mark::Passed;
    QString text;  // what was found
    QString fix;   // a failure: the command that puts it right
    // A failure that leaves the panel usable.
    bool informational = false;
    QJsonObject details;  // for --json: paths, numbers
};

struct DoctorReport {
    std::vector<DoctorCheck> checks;
    bool usable() const;
    // The failures that keep the panel from being used, in order.
    std::vector<const DoctorCheck*> blocking() const;
};

// The panel's maker and product ids.
inline constexpr quint16 kPanelVendor = 0x04d8;
inline constexpr quint16 kPanelProduct = 0x000c;
// The rule's file name, as the package installs it.
inline constexpr char kPanelRuleFile[] = "70-lumiboard-panel.rules";
// udev's rule folders, the first of a name hiding the others of that name.
QStringList udevRuleFolders();
// Beyond this, the clock is said to be off.
inline constexpr qint64 kDoctorDriftSeconds = 2;

DoctorReport diagnose(const DoctorMachine& machine);

// One line a check, then the verdict.
QByteArray doctorText(const DoctorReport& report);
// One JSON object a check, one line each, then the verdict's.
QByteArray doctorJson(const DoctorReport& report);

// The usbfs node of a device: /dev/bus/usb/BBB/DDD.
QString usbDeviceNode(int bus, int device);
// Whether a rule file's text gives the panel (04d8:000c) to someone.
bool ruleNamesPanel(const QString& ruleText);
