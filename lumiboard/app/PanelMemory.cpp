#include "PanelMemory.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>

#include "PanelLock.h"
#include "PanelRules.h"
#include "ReportCoding.h"
#include "TextAdmission.h"
#include "WholeFile.h"

namespace {

// Far more than a record of 199 characters: a bigger file is not one.
constexpr qint64 kMaxRecordBytes = 16 * 1024;
constexpr int kFormat = 1;

}  // namespace

PanelMemory::PanelMemory(const QString& file) : file_(file) {}

std::optional<QString> PanelMemory::recorded() const {
    QFile file(file_);
    if (!file.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    const QByteArray bytes = file.read(kMaxRecordBytes + 1);
    if (bytes.size() > kMaxRecordBytes) {
        return std::nullopt;
    }
    const QJsonObject record = QJsonDocument::fromJson(bytes).object();
    const QJsonValue text = record.value(QStringLiteral("text"));
    if (record.value(QStringLiteral("format")).toInt() != kFormat || !text.isString()) {
        return std::nullopt;
    }
    // Only what a send could have put on the panel.
    const QString shown = text.toString();
    const TextAdmission admitted = admitText(shown, Unsendable::Refuse);
    if (shown.isEmpty() || shown.size() > kMaxSentChars ||
        !std::holds_alternative<AdmittedText>(admitted)) {
        return std::nullopt;
    }
    return shown;
}

bool PanelMemory::record(const QString& text) const {
    if (file_.isEmpty()) {
        return false;
    }
    // Made at the first send, private to the user.
    const QString folder = QFileInfo(file_).path();
    if (!QDir(folder).exists() && QDir().mkpath(folder)) {
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    QJsonObject record;
    record.insert(QStringLiteral("format"), kFormat);
    record.insert(QStringLiteral("text"), text);
    return wholefile::writeWhole(file_, QJsonDocument(record).toJson(QJsonDocument::Compact)).ok();
}

void PanelMemory::forget() const {
    QFile::remove(file_);
}

QString panelMemoryFolder() {
    QString base = qEnvironmentVariable("XDG_STATE_HOME");
    if (base.isEmpty() || QDir::isRelativePath(base)) {
        base = QDir::homePath() + QStringLiteral("/.local/state");
    }
    return base + QStringLiteral("/lumiboard");
}

QString panelMemoryPath(const QString& folder, const QString& socket, std::uint32_t instance) {
    return QDir(folder).filePath(panelFileName(socket, instance) + QStringLiteral(".text"));
}

std::optional<QString> wholeTextFromRecord(const QString& read,
                                           const std::optional<QString>& recorded) {
    if (recorded && !readBackDifference(*recorded, read)) {
        return recorded;
    }
    return std::nullopt;
}
