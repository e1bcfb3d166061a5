#include "PanelFace.h"

#include <QTimeZone>

QDateTime PanelTime::now() const {
    // The panel keeps local time with no zone: the host's local reading, moved.
    const QDateTime host = host_.now();
    const QDateTime moved = QDateTime(host.date(), host.time(), QTimeZone::utc()).addSecs(offset_);
    return QDateTime(moved.date(), moved.time());
}

PanelFace::PanelFace(const Clock& host, Beeper& beeper, const QString& programDir)
    : time_(host), beeper_(beeper), preview_(time_, beeper, QString(), programDir) {}

void PanelFace::apply(const panelsim::FaceView& view) {
    const auto& state = view.state;
    if (!view_ || view_->state.text() != state.text()) {
        preview_.reset();
        const std::string text = state.text();
        preview_.setText(QByteArray(text.data(), static_cast<qsizetype>(text.size())));
    }
    if (!view_ || view_->state.alarmHour != state.alarmHour ||
        view_->state.alarmMinute != state.alarmMinute) {
        rangAt_.reset();  // a new alarm time may ring this very minute
        ringing_ = false;
    }
    if (!state.alarmOn) {
        ringing_ = false;
    }
    time_.setOffset(state.clockOffsetSeconds);
    view_ = view;
}

std::optional<LedPictureFailure> PanelFace::tick(QImage& canvas, QPoint origin) {
    auto failure = preview_.tick(canvas, origin);
    watchAlarm();
    return failure;
}

void PanelFace::watchAlarm() {
    if (view_ && view_->state.alarmOn && !ringing_) {
        const QDateTime now = time_.now();
        const QTime t = now.time();
        const std::int64_t minute = now.date().toJulianDay() * 1440 + t.hour() * 60 + t.minute();
        if (t.hour() == view_->state.alarmHour && t.minute() == view_->state.alarmMinute &&
            rangAt_ != minute) {
            rangAt_ = minute;
            ringing_ = true;
            ringTicks_ = 0;
        }
    }
    if (ringing_) {
        if (ringTicks_ % kBeepTicks == 0) {
            beeper_.beep();
        }
        ++ringTicks_;
    }
}

QString PanelFace::status() const {
    if (!view_) {
        return QStringLiteral("En attente du panneau…");
    }
    QString clients = view_->clients == 0 ? QStringLiteral("Aucun programme connecté")
                      : view_->clients == 1
                          ? QStringLiteral("1 programme connecté")
                          : QStringLiteral("%1 programmes connectés").arg(view_->clients);
    if (const auto& holder = view_->holder) {
        clients += holder->pid > 0 ? QStringLiteral(" ; panneau tenu par %1 (pid %2)")
                                         .arg(QString::fromLatin1(holder->name))
                                         .arg(holder->pid)
                                   : QStringLiteral(" ; panneau tenu par un programme");
    }
    const auto& state = view_->state;
    const QString alarm = QStringLiteral("%1:%2")
                              .arg(state.alarmHour)
                              .arg(state.alarmMinute, 2, 10, QLatin1Char('0'));
    const QString second =
        ringing_
            ? QStringLiteral("Le réveil sonne (%1) : une touche ou un clic l'arrête.").arg(alarm)
        : state.alarmOn ? QStringLiteral("Réveil à %1").arg(alarm)
                        : QStringLiteral("Réveil désactivé");
    return clients + QLatin1Char('\n') + second;
}
