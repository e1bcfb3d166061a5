#include "DoctorMachine.h"

#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <link.h>
#include <pwd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include "LibrarySearch.h"

namespace {

// A small sysfs, rule or /proc file. Read through QFile: raw reads escape
// the package's fortify checks.
std::optional<QByteArray> readSmallFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        return std::nullopt;
    }
    const QByteArray bytes = file.read(1024 * 1024);
    return file.error() == QFileDevice::NoError ? std::optional<QByteArray>(bytes) : std::nullopt;
}

QStringList entriesOf(const QString& folder) {
    QStringList names;
    DIR* dir = ::opendir(QFile::encodeName(folder).constData());
    if (dir == nullptr) {
        return names;
    }
    while (const dirent* entry = ::readdir(dir)) {
        if (entry->d_name[0] != '.') {
            names << QFile::decodeName(entry->d_name);
        }
    }
    ::closedir(dir);
    names.sort();
    return names;
}

std::vector<UsbDeviceEntry> sysfsUsbDevices() {
    const QString root = QStringLiteral("/sys/bus/usb/devices");
    std::vector<UsbDeviceEntry> devices;
    for (const QString& name : entriesOf(root)) {
        const QString dir = root + u'/' + name + u'/';
        const auto vendor = readSmallFile(dir + QStringLiteral("idVendor"));
        const auto product = readSmallFile(dir + QStringLiteral("idProduct"));
        const auto bus = readSmallFile(dir + QStringLiteral("busnum"));
        const auto device = readSmallFile(dir + QStringLiteral("devnum"));
        if (!vendor || !product || !bus || !device) {
            continue;  // an interface, or a device leaving
        }
        bool ok[4] = {};
        UsbDeviceEntry entry;
        entry.vendor = quint16(vendor->trimmed().toUInt(&ok[0], 16));
        entry.product = quint16(product->trimmed().toUInt(&ok[1], 16));
        entry.bus = bus->trimmed().toInt(&ok[2]);
        entry.device = device->trimmed().toInt(&ok[3]);
        if (ok[0] && ok[1] && ok[2] && ok[3]) {
            devices.push_back(entry);
        }
    }
    // The order the kernel numbered them, as the library counts instances.
    std::sort(devices.begin(), devices.end(), [](const auto& a, const auto& b) {
        return a.bus != b.bus ? a.bus < b.bus : a.device < b.device;
    });
    return devices;
}

// udev takes each file name from the first folder that has it: a copy in
// /etc hides (or, linked to /dev/null, masks) the package's.
QStringList installedPanelRules() {
    QStringList seen;
    QStringList found;
    for (const QString& folder : udevRuleFolders()) {
        for (const QString& name : entriesOf(folder)) {
            if (!name.endsWith(QStringLiteral(".rules")) || seen.contains(name)) {
                continue;
            }
            seen << name;
            const QString path = folder + u'/' + name;
            const auto text = readSmallFile(path);
            if (text && ruleNamesPanel(QString::fromUtf8(*text))) {
                found << path;
            }
        }
    }
    return found;
}

QString userName(uid_t uid) {
    const passwd* entry = ::getpwuid(uid);
    return entry != nullptr ? QFile::decodeName(entry->pw_name) : QString::number(uid);
}

QString groupName(gid_t gid) {
    const group* entry = ::getgrgid(gid);
    return entry != nullptr ? QFile::decodeName(entry->gr_name) : QString::number(gid);
}

// The kernel's list of this process's groups (getgroups into a sized
// buffer escapes the fortify checks).
bool inGroup(gid_t gid) {
    if (::getegid() == gid) {
        return true;
    }
    const auto status = readSmallFile(QStringLiteral("/proc/self/status"));
    for (const QByteArray& line : status.value_or(QByteArray()).split('\n')) {
        if (line.startsWith("Groups:")) {
            return line.mid(7).simplified().split(' ').contains(QByteArray::number(gid));
        }
    }
    return false;
}

NodeAccess nodeAccess(const QString& node) {
    NodeAccess access;
    access.user = userName(::geteuid());
    const QByteArray path = QFile::encodeName(node);
    // Opening is the only sure test: access lists and groups all count.
    const int fd = ::open(path.constData(), O_RDWR | O_CLOEXEC);
    if (fd >= 0) {
        ::close(fd);
    } else {
        access.openError = errno;
    }
    struct stat info {};
    if (::stat(path.constData(), &info) == 0) {
        access.owner = userName(info.st_uid);
        access.group = groupName(info.st_gid);
        access.mode = info.st_mode & 07777;
        access.inGroup = inGroup(info.st_gid);
        access.hasAcl = ::getxattr(path.constData(), "system.posix_acl_access", nullptr, 0) > 0;
    }
    return access;
}

int connectTo(const QString& socketPath) {
    const QByteArray path = QFile::encodeName(socketPath);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (std::size_t(path.size()) >= sizeof address.sun_path) {
        return ENAMETOOLONG;
    }
    std::memcpy(address.sun_path, path.constData(), std::size_t(path.size()));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return errno;
    }
    const int result =
        ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 ? 0 : errno;
    ::close(fd);
    return result;
}

TimerState syncTimerState() {
    QProcess systemctl;
    systemctl.start(QStringLiteral("systemctl"),
                    {QStringLiteral("--user"), QStringLiteral("is-enabled"),
                     QStringLiteral("lumictl-sync.timer")});
    if (!systemctl.waitForStarted(5000)) {
        return TimerState::NoSystemctl;
    }
    if (!systemctl.waitForFinished(10000)) {
        systemctl.kill();
        systemctl.waitForFinished();
        return TimerState::NoUserBus;
    }
    const QByteArray state = systemctl.readAllStandardOutput().trimmed();
    if (state == "enabled" || state == "enabled-runtime") {
        return TimerState::Enabled;
    }
    if (state == "not-found") {
        return TimerState::NotInstalled;
    }
    if (state.isEmpty()) {
        // Older systemd says an unknown unit on stderr only.
        const QByteArray said = systemctl.readAllStandardError();
        return said.contains("No such file") || said.contains("not found")
                   ? TimerState::NotInstalled
                   : TimerState::NoUserBus;
    }
    return TimerState::Disabled;
}

// The file the library was loaded from, as the loader has it.
QString loadedObjectNamed(const QString& fileName) {
    struct Search {
        QByteArray suffix;
        QString found;
    } search{'/' + QFile::encodeName(fileName), {}};
    dl_iterate_phdr(
        [](dl_phdr_info* info, std::size_t, void* data) {
            auto* s = static_cast<Search*>(data);
            const QByteArray name(info->dlpi_name != nullptr ? info->dlpi_name : "");
            if (name.endsWith(s->suffix)) {
                s->found = QFile::decodeName(name);
                return 1;
            }
            return 0;
        },
        &search);
    return search.found;
}

LibraryFound findLibrary(const CommandSeams& seams) {
    LibraryFound found;
    found.load = seams.loadLibrary();
    const QString fileName = usbLibraryFileName();
    // The same search the binding makes: the first file that exists is the one.
    QStringList candidates =
        usbLibraryCandidates(fileName, {}, seams.programDir, usbLibraryMultiarch());
    candidates.removeLast();  // the platform's own search, said by the loader
    for (const QString& candidate : candidates) {
        if (QFileInfo::exists(candidate)) {
            found.path = QFileInfo(candidate).absoluteFilePath();
            return found;
        }
    }
    if (found.load.ok()) {
        found.path = loadedObjectNamed(fileName);
    }
    return found;
}

// The rule to copy: the one installed beside the program, else the source
// tree's.
QString ruleSource(const QString& programDir) {
    const QString installed =
        QDir::cleanPath(QDir(programDir).filePath(QStringLiteral("../lib/udev/rules.d/")) + u'/' +
                        QLatin1String(kPanelRuleFile));
    return QFileInfo::exists(installed)
               ? installed
               : QStringLiteral("packaging/") + QLatin1String(kPanelRuleFile);
}

}  // namespace

int runDoctor(const Invocation& inv, PanelSession& session, const CommandSeams& seams,
              CommandOutput& output) {
    // The library's entry points stay valid while the binding lives (main's).
    auto api = std::make_shared<std::optional<UsbApi>>();
    DoctorMachine machine;
    machine.library = [&seams, api] {
        LibraryFound found = findLibrary(seams);
        if (found.load.ok()) {
            *api = found.load.api;
        }
        return found;
    };
    machine.panelRules = installedPanelRules;
    machine.ruleSource = ruleSource(seams.programDir);
    machine.usbDevices = sysfsUsbDevices;
    machine.nodeAccess = nodeAccess;
    machine.lockHolder = [&seams, &inv] {
        return panelLockHolder(panelLockPath(panelLockFolder(), seams.virtualSocket, inv.instance));
    };
    machine.virtualSocket = seams.virtualSocket;
    machine.virtualFromOption = inv.virtualSocket.has_value();
    machine.connectSocket = connectTo;
    machine.readClock = [&session, &inv, api] {
        ClockCheck check;
        if (!*api) {
            check.failure = LinkFailure{};
            return check;
        }
        session.bind(**api, inv.instance);
        const ClockRead read = session.readClock();
        check.failure = read.failure;
        if (read.ok()) {
            check.drift = session.drift(read);
        }
        return check;
    };
    machine.syncTimer = syncTimerState;
    machine.instance = inv.instance;

    const DoctorReport report = diagnose(machine);
    output.out += inv.json ? doctorJson(report) : doctorText(report);
    return report.usable() ? kExitDone : kExitFailed;
}
