#include "Doctor.h"

#include <cerrno>

#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>

#include "Output.h"
#include "PanelTexts.h"
#include "SystemErrors.h"
#include "mpusbapi.h"

namespace {

using Mark = DoctorCheck::Mark;

constexpr char kTimerUnit[] = "lumictl-sync.timer";
constexpr char kCronLine[] = "15 3 * * * lumictl --quiet clock --sync --if-drift 2";
constexpr char kUdevReload[] = "sudo udevadm control --reload && sudo udevadm trigger";

QString hex4(quint16 id) {
    return QStringLiteral("%1").arg(id, 4, 16, QLatin1Char('0'));
}

QString deviceId(quint16 vendor, quint16 product) {
    return hex4(vendor) + u':' + hex4(product);
}

// A path as one word of a shell command, so a fix can be pasted as it is.
QString shellWord(const QString& word) {
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9_@%+=:,./-]+$"));
    if (plain.match(word).hasMatch()) {
        return word;
    }
    QString quoted = word;
    return u'\'' + quoted.replace(u'\'', QStringLiteral("'\\''")) + u'\'';
}

DoctorCheck passed(DoctorStep step, const QString& text, QJsonObject details = {}) {
    return {step, Mark::Passed, text, {}, false, std::move(details)};
}

DoctorCheck failed(DoctorStep step, const QString& text, const QString& fix,
                   QJsonObject details = {}) {
    return {step, Mark::Failed, text, fix, false, std::move(details)};
}

DoctorCheck skipped(DoctorStep step, const QString& text) {
    return {step, Mark::Skipped, text, {}, false, {}};
}

const char* stepKey(DoctorStep step) {
    switch (step) {
        case DoctorStep::Library:
            return "library";
        case DoctorStep::UdevRule:
            return "udev_rule";
        case DoctorStep::Device:
            return "device";
        case DoctorStep::DeviceNode:
            return "device_node";
        case DoctorStep::Lock:
            return "lock";
        case DoctorStep::VirtualPanel:
            return "virtual_panel";
        case DoctorStep::Clock:
            return "clock";
        case DoctorStep::SyncTimer:
            break;
    }
    return "sync_timer";
}

// The checks, run in order on one machine; each later one reads what the
// earlier ones found.
class Diagnosis {
public:
    explicit Diagnosis(const DoctorMachine& machine) : m_(machine) {}

    DoctorReport operator()() {
        DoctorReport report;
        const bool library = add(report, checkLibrary());
        const std::size_t ruleAt = report.checks.size();
        add(report, checkRule());
        const bool device = add(report, checkDevice());
        const bool node = add(report, checkNode());
        // The rule matters only where the node stays closed without it.
        report.checks[ruleAt].informational = usingVirtual() || node;
        const bool lock = add(report, checkLock());
        const bool virtualPanel = add(report, checkVirtual());
        if (usingVirtual()) {
            for (DoctorCheck& check : report.checks) {
                if (check.step == DoctorStep::UdevRule || check.step == DoctorStep::Device ||
                    check.step == DoctorStep::DeviceNode) {
                    check.informational = true;
                }
            }
        }
        const bool reachable = usingVirtual() ? virtualPanel : device && node;
        add(report, checkClock(library && lock && reachable, lock));
        DoctorCheck timer = checkTimer();
        timer.informational = true;
        report.checks.push_back(timer);
        return report;
    }

private:
    bool usingVirtual() const { return !m_.virtualSocket.isEmpty(); }

    static bool add(DoctorReport& report, DoctorCheck check) {
        const bool ok = check.mark == Mark::Passed;
        report.checks.push_back(std::move(check));
        return ok;
    }

    // A lumictl command as this run reaches the panel.
    QString lumictl(const QString& arguments) const {
        QString command = QStringLiteral("lumictl");
        if (m_.virtualFromOption) {
            command += QStringLiteral(" --virtual ") + shellWord(m_.virtualSocket);
        }
        if (m_.instance != 0) {
            command += QStringLiteral(" --instance %1").arg(m_.instance);
        }
        return command + u' ' + arguments;
    }

    QString installRule() const {
        return QStringLiteral(
                   "sudo install -m 644 %1 /etc/udev/rules.d/ && %2, puis "
                   "débranchez et rebranchez le panneau")
            .arg(shellWord(m_.ruleSource), QLatin1String(kUdevReload));
    }

    DoctorCheck checkLibrary() {
        library_ = m_.library();
        const LibraryLoad& load = library_.load;
        if (load.ok()) {
            return passed(DoctorStep::Library,
                          QStringLiteral("bibliothèque USB du panneau : %1").arg(library_.path),
                          {{"path", library_.path}});
        }
        QString text = paneltext::libraryLoadProblem(load, QStringLiteral(" : "));
        if (!library_.path.isEmpty() && load.result != LibraryLoad::Result::WillNotLoad) {
            text += QStringLiteral(" (%1)").arg(library_.path);
        }
        const QString fix =
            load.result == LibraryLoad::Result::NotFound
                ? QStringLiteral(
                      "installez le paquet lumiboard (sudo apt install "
                      "./lumiboard_*.deb), ou mettez %1 à côté de lumictl")
                      .arg(load.fileName)
                : QStringLiteral(
                      "réinstallez le paquet lumiboard (sudo apt install --reinstall "
                      "lumiboard), qui apporte aussi libusb");
        return failed(DoctorStep::Library, text, fix,
                      {{"path", library_.path.isEmpty() ? QJsonValue() : library_.path}});
    }

    DoctorCheck checkRule() {
        rules_ = m_.panelRules();
        if (!rules_.isEmpty()) {
            return passed(DoctorStep::UdevRule,
                          QStringLiteral("règle udev du panneau : %1").arg(rules_.join(", ")),
                          {{"files", QJsonArray::fromStringList(rules_)}});
        }
        return failed(DoctorStep::UdevRule,
                      QStringLiteral("aucune règle udev ne donne le panneau %1 à l'utilisateur "
                                     "(cherchée dans %2)")
                          .arg(deviceId(kPanelVendor, kPanelProduct), udevRuleFolders().join(", ")),
                      installRule(), {{"files", QJsonArray()}});
    }

    DoctorCheck checkDevice() {
        std::vector<UsbDeviceEntry> panels;
        std::vector<UsbDeviceEntry> others;
        for (const UsbDeviceEntry& entry : m_.usbDevices()) {
            if (entry.vendor == kPanelVendor) {
                (entry.product == kPanelProduct ? panels : others).push_back(entry);
            }
        }
        const auto where = [](const UsbDeviceEntry& e) {
            return QStringLiteral("bus %1, appareil %2")
                .arg(e.bus, 3, 10, QLatin1Char('0'))
                .arg(e.device, 3, 10, QLatin1Char('0'));
        };
        if (panels.size() > m_.instance) {
            panel_ = panels[m_.instance];
            QString text = QStringLiteral("panneau %1 branché (%2)")
                               .arg(deviceId(kPanelVendor, kPanelProduct), where(*panel_));
            if (panels.size() > 1) {
                text += QStringLiteral(", %1 panneaux en tout").arg(panels.size());
            }
            return passed(DoctorStep::Device, text,
                          {{"bus", panel_->bus},
                           {"device", panel_->device},
                           {"count", qint64(panels.size())}});
        }
        QJsonArray otherIds;
        QStringList otherTexts;
        for (const UsbDeviceEntry& e : others) {
            otherIds.append(deviceId(e.vendor, e.product));
            otherTexts << deviceId(e.vendor, e.product) + QStringLiteral(" (") + where(e) + u')';
        }
        const QJsonObject details{{"count", qint64(panels.size())}, {"others", otherIds}};
        if (!panels.empty()) {
            return failed(DoctorStep::Device,
                          QStringLiteral("%1 panneau(x) %2 seulement : l'instance %3 n'existe pas")
                              .arg(panels.size())
                              .arg(deviceId(kPanelVendor, kPanelProduct))
                              .arg(m_.instance),
                          QStringLiteral("choisissez un panneau de 0 à %1 (--instance N)")
                              .arg(panels.size() - 1),
                          details);
        }
        if (!others.empty()) {
            // The maker's id with another product: a board flashed with another
            // firmware, or a rule written for the wrong product.
            return failed(DoctorStep::Device,
                          QStringLiteral("aucun panneau %1, mais un appareil du même fabricant "
                                         "avec un autre identifiant de produit : %2")
                              .arg(deviceId(kPanelVendor, kPanelProduct), otherTexts.join(", ")),
                          QStringLiteral("le panneau doit s'annoncer %1 : vérifiez l'appareil "
                                         "(lsusb -d %2:) et le microprogramme de la carte")
                              .arg(deviceId(kPanelVendor, kPanelProduct), hex4(kPanelVendor)),
                          details);
        }
        return failed(
            DoctorStep::Device,
            QStringLiteral("aucun appareil %1 sur le bus USB")
                .arg(deviceId(kPanelVendor, kPanelProduct)),
            QStringLiteral("branchez le panneau (lsusb -d %1 doit le montrer), ou essayez le "
                           "panneau virtuel : panelsim --socket /tmp/panneau.sock & puis "
                           "lumictl --virtual /tmp/panneau.sock doctor")
                .arg(deviceId(kPanelVendor, kPanelProduct)),
            details);
    }

    DoctorCheck checkNode() {
        if (!panel_) {
            return skipped(DoctorStep::DeviceNode,
                           QStringLiteral("nœud du périphérique : pas de panneau à ouvrir"));
        }
        const QString node = usbDeviceNode(panel_->bus, panel_->device);
        const NodeAccess access = m_.nodeAccess(node);
        QJsonObject details{{"node", node},
                            {"owner", access.owner},
                            {"group", access.group},
                            {"mode", QStringLiteral("%1").arg(access.mode, 4, 8, QLatin1Char('0'))},
                            {"acl", access.hasAcl}};
        if (access.openError == 0) {
            return passed(
                DoctorStep::DeviceNode,
                QStringLiteral("%1 s'ouvre en lecture et écriture pour %2").arg(node, access.user),
                details);
        }
        if (access.openError == ENOENT) {
            return failed(DoctorStep::DeviceNode,
                          QStringLiteral("%1 n'existe pas : udev n'a pas créé le nœud").arg(node),
                          QString::fromLatin1(kUdevReload), details);
        }
        if (access.openError != EACCES && access.openError != EPERM) {
            return failed(DoctorStep::DeviceNode,
                          QStringLiteral("%1 ne s'ouvre pas : %2")
                              .arg(node, systemErrorReason(access.openError)),
                          QStringLiteral("débranchez et rebranchez le panneau"), details);
        }
        const QString who =
            QStringLiteral("%1 ne s'ouvre pas pour %2 : propriétaire %3, groupe %4, mode %5%6")
                .arg(node, access.user, access.owner, access.group,
                     QStringLiteral("%1").arg(access.mode, 4, 8, QLatin1Char('0')),
                     access.hasAcl
                         ? QStringLiteral(", plus une liste d'accès (getfacl %1)").arg(node)
                         : QString());
        QString fix;
        if (rules_.isEmpty()) {
            fix = installRule();
        } else if ((access.mode & 0020) != 0 && !access.inGroup && access.group != u"root") {
            fix = QStringLiteral("sudo usermod -aG %1 %2, puis reconnectez-vous")
                      .arg(access.group, access.user);
        } else {
            // The rule gives the panel to the user at the seat; ssh has none.
            fix =
                QStringLiteral(
                    "la règle donne le panneau à l'utilisateur assis devant l'écran ; sans siège "
                    "(ssh), ajoutez une règle avec MODE=\"0660\", GROUP=\"plugdev\", rejoignez ce "
                    "groupe (sudo usermod -aG plugdev %1), puis %2")
                    .arg(access.user, QLatin1String(kUdevReload));
        }
        return failed(DoctorStep::DeviceNode, who, fix, details);
    }

    DoctorCheck checkLock() {
        holder_ = m_.lockHolder();
        if (!holder_) {
            return passed(DoctorStep::Lock,
                          QStringLiteral("aucun autre programme ne tient le panneau"));
        }
        const QString program =
            holder_->program.isEmpty() ? QStringLiteral("un programme") : holder_->program;
        return failed(
            DoctorStep::Lock,
            QStringLiteral("le panneau est tenu par %1 (pid %2)").arg(program).arg(holder_->pid),
            QStringLiteral("attendez qu'il ait fini, ou arrêtez-le : kill %1").arg(holder_->pid),
            {{"pid", holder_->pid}, {"program", holder_->program}});
    }

    DoctorCheck checkVirtual() {
        if (!usingVirtual()) {
            return skipped(DoctorStep::VirtualPanel,
                           QStringLiteral("panneau virtuel : aucun demandé (%1 vide, pas de "
                                          "--virtual), le panneau USB est employé")
                               .arg(QLatin1String(MPUSBAPI_VIRTUAL_VARIABLE)));
        }
        const QString& socket = m_.virtualSocket;
        const QJsonObject details{{"socket", socket}};
        const int error = m_.connectSocket(socket);
        if (error == 0) {
            return passed(DoctorStep::VirtualPanel,
                          QStringLiteral("panneau virtuel : panelsim écoute sur %1").arg(socket),
                          details);
        }
        const QString start = QStringLiteral("panelsim --socket %1 &").arg(shellWord(socket));
        if (error == ENOENT || error == ECONNREFUSED) {
            return failed(
                DoctorStep::VirtualPanel,
                QStringLiteral("panneau virtuel : panelsim n'est pas lancé sur %1").arg(socket),
                start, details);
        }
        if (error == EACCES || error == EPERM) {
            return failed(
                DoctorStep::VirtualPanel,
                QStringLiteral("panneau virtuel : la socket %1 n'est pas à vous").arg(socket),
                QStringLiteral("lancez un panelsim à vous sur une autre socket : "
                               "panelsim --socket /tmp/panneau.sock &"),
                details);
        }
        return failed(DoctorStep::VirtualPanel,
                      QStringLiteral("panneau virtuel : %1 injoignable (%2)")
                          .arg(socket, systemErrorReason(error)),
                      start, details);
    }

    DoctorCheck checkClock(bool reachable, bool lockFree) {
        if (!reachable) {
            return skipped(DoctorStep::Clock,
                           lockFree ? QStringLiteral("horloge du panneau : non lue, pas de "
                                                     "panneau joignable")
                                    : QStringLiteral("horloge du panneau : non lue, un autre "
                                                     "programme tient le panneau"));
        }
        const ClockCheck clock = m_.readClock();
        if (clock.failure) {
            return failed(
                DoctorStep::Clock,
                QStringLiteral("le panneau ne répond pas : ") +
                    failureMessage(Operation::ReadClock, *clock.failure),
                QStringLiteral("débranchez et rebranchez le panneau ; MPUSBAPI_DEBUG=1 %1 "
                               "dit quel appel échoue")
                    .arg(lumictl(QStringLiteral("clock"))));
        }
        const QString sync = lumictl(QStringLiteral("clock --sync"));
        DoctorCheck check;
        if (!clock.drift) {
            check = failed(DoctorStep::Clock,
                           QStringLiteral("le panneau répond, mais son heure ou sa date n'est pas "
                                          "valide"),
                           sync, {{"drift_seconds", QJsonValue()}});
        } else if (qAbs(*clock.drift) > kDoctorDriftSeconds) {
            check = failed(DoctorStep::Clock,
                           QStringLiteral("le panneau répond, horloge en retard ou en avance : ") +
                               driftMessage(*clock.drift),
                           sync, {{"drift_seconds", *clock.drift}});
        } else {
            return passed(DoctorStep::Clock,
                          QStringLiteral("le panneau répond, horloge à l'heure : ") +
                              driftMessage(*clock.drift),
                          {{"drift_seconds", *clock.drift}});
        }
        // A clock off is put right in a second; the panel works meanwhile.
        check.informational = true;
        return check;
    }

    DoctorCheck checkTimer() {
        const QString cron =
            QStringLiteral("une ligne de crontab (crontab -e) : %1").arg(QLatin1String(kCronLine));
        const QString unit = QLatin1String(kTimerUnit);
        switch (m_.syncTimer()) {
            case TimerState::Enabled:
                return passed(DoctorStep::SyncTimer,
                              QStringLiteral("%1 activé : le panneau est remis à l'heure chaque "
                                             "jour")
                                  .arg(unit),
                              {{"state", "enabled"}});
            case TimerState::Disabled:
                return failed(DoctorStep::SyncTimer,
                              QStringLiteral("%1 n'est pas activé").arg(unit),
                              QStringLiteral("systemctl --user enable --now %1").arg(unit),
                              {{"state", "disabled"}});
            case TimerState::NotInstalled:
                return failed(DoctorStep::SyncTimer,
                              QStringLiteral("%1 n'est pas installé").arg(unit), cron,
                              {{"state", "not_installed"}});
            case TimerState::NoUserBus:
                return failed(DoctorStep::SyncTimer,
                              QStringLiteral("%1 : pas de session systemd de l'utilisateur "
                                             "(« Failed to connect to bus »)")
                                  .arg(unit),
                              cron, {{"state", "no_user_bus"}});
            case TimerState::NoSystemctl:
                break;
        }
        return failed(DoctorStep::SyncTimer, QStringLiteral("%1 : systemctl introuvable").arg(unit),
                      cron, {{"state", "no_systemctl"}});
    }

    const DoctorMachine& m_;
    LibraryFound library_;
    QStringList rules_;
    std::optional<UsbDeviceEntry> panel_;
    std::optional<LockHolder> holder_;
};

// The verdict's words for a step that keeps the panel from being used.
QString missingStep(DoctorStep step) {
    switch (step) {
        case DoctorStep::Library:
            return QStringLiteral("bibliothèque USB inutilisable");
        case DoctorStep::UdevRule:
            return QStringLiteral("règle udev absente");
        case DoctorStep::Device:
            return QStringLiteral("aucun panneau %1 branché")
                .arg(deviceId(kPanelVendor, kPanelProduct));
        case DoctorStep::DeviceNode:
            return QStringLiteral("accès au panneau refusé");
        case DoctorStep::Lock:
            return QStringLiteral("panneau tenu par un autre programme");
        case DoctorStep::VirtualPanel:
            return QStringLiteral("panneau virtuel injoignable");
        case DoctorStep::Clock:
        case DoctorStep::SyncTimer:
            break;
    }
    return QStringLiteral("le panneau ne répond pas");
}

QByteArray jsonLine(const QJsonObject& object) {
    return QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
}

}  // namespace

QStringList udevRuleFolders() {
    return {QStringLiteral("/etc/udev/rules.d"), QStringLiteral("/run/udev/rules.d"),
            QStringLiteral("/usr/lib/udev/rules.d"), QStringLiteral("/lib/udev/rules.d")};
}

bool DoctorReport::usable() const {
    return blocking().empty();
}

std::vector<const DoctorCheck*> DoctorReport::blocking() const {
    std::vector<const DoctorCheck*> out;
    for (const DoctorCheck& check : checks) {
        if (check.mark == Mark::Failed && !check.informational) {
            out.push_back(&check);
        }
    }
    return out;
}

DoctorReport diagnose(const DoctorMachine& machine) {
    return Diagnosis(machine)();
}

QByteArray doctorText(const DoctorReport& report) {
    QString out;
    for (const DoctorCheck& check : report.checks) {
        const QString mark = check.mark == Mark::Passed   ? QStringLiteral("✓")
                             : check.mark == Mark::Failed ? QStringLiteral("✗")
                                                          : QStringLiteral("–");
        out += mark + u' ' + check.text;
        if (check.mark == Mark::Failed && !check.fix.isEmpty()) {
            out += QStringLiteral(" ; correction : ") + check.fix;
        }
        out += u'\n';
    }
    const auto blocking = report.blocking();
    if (blocking.empty()) {
        out += QStringLiteral("Le panneau est utilisable.\n");
    } else {
        QStringList why;
        for (const DoctorCheck* check : blocking) {
            why << missingStep(check->step);
        }
        out += QStringLiteral("Pas de panneau utilisable : ") + why.join(QStringLiteral(", ")) +
               QStringLiteral(".\n");
    }
    return out.toUtf8();
}

QByteArray doctorJson(const DoctorReport& report) {
    QByteArray out;
    for (const DoctorCheck& check : report.checks) {
        QJsonObject object = check.details;
        object.insert("check", QLatin1String(stepKey(check.step)));
        object.insert("status", check.mark == Mark::Passed   ? "ok"
                                : check.mark == Mark::Failed ? "failed"
                                                             : "skipped");
        object.insert("informational", check.informational);
        object.insert("message", check.text);
        object.insert("fix", check.fix.isEmpty() ? QJsonValue() : QJsonValue(check.fix));
        out += jsonLine(object);
    }
    QJsonArray missing;
    for (const DoctorCheck* check : report.blocking()) {
        missing.append(QLatin1String(stepKey(check->step)));
    }
    out += jsonLine({{"check", "verdict"}, {"usable", report.usable()}, {"missing", missing}});
    return out;
}

QString usbDeviceNode(int bus, int device) {
    return QStringLiteral("/dev/bus/usb/%1/%2")
        .arg(bus, 3, 10, QLatin1Char('0'))
        .arg(device, 3, 10, QLatin1Char('0'));
}

bool ruleNamesPanel(const QString& ruleText) {
    static const QRegularExpression vendor(QStringLiteral(R"(ATTRS?\{idVendor\}\s*==\s*"0*4d8")"),
                                           QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression product(QStringLiteral(R"(ATTRS?\{idProduct\}\s*==\s*"0*c")"),
                                            QRegularExpression::CaseInsensitiveOption);
    for (const QString& line : ruleText.split(u'\n')) {
        const QString trimmed = line.trimmed();
        if (!trimmed.startsWith(u'#') && trimmed.contains(vendor) && trimmed.contains(product)) {
            return true;
        }
    }
    return false;
}
