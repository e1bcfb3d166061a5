// The virtual panel's LED face without its window: what the panel holds,
// scrolled by lumiboard's own preview, on the panel's own clock, and its
// alarm. A new text starts the scroll again from a dark matrix, as the panel
// does when it takes a message.
#pragma once

#include <cstdint>
#include <optional>

#include <QImage>
#include <QPoint>
#include <QString>

#include "Beeper.h"
#include "Clock.h"
#include "FaceFeed.h"
#include "Preview.h"

// The panel's clock: the host's, moved by what the last clock write set.
class PanelTime final : public Clock {
public:
    explicit PanelTime(const Clock& host) : host_(host) {}
    void setOffset(std::int64_t seconds) { offset_ = seconds; }
    QDateTime now() const override;
    QString longTime(const QTime& time) const override { return host_.longTime(time); }
    QString dateSeparator() const override { return host_.dateSeparator(); }

private:
    const Clock& host_;
    std::int64_t offset_ = 0;
};

class PanelFace {
public:
    // While the alarm rings: a beep each second, the frame lit half a second
    // out of every second.
    static constexpr int kBeepTicks = 1000 / kPreviewTickMs;
    static constexpr int kFlashTicks = kBeepTicks / 2;

    // The LED pictures are looked for as lumiboard looks for them.
    PanelFace(const Clock& host, Beeper& beeper, const QString& programDir);

    void apply(const panelsim::FaceView& view);
    // One tick: lumiboard's preview step on canvas (LED (0,0) at origin), then
    // the alarm. Why, when a picture can't be loaded.
    std::optional<LedPictureFailure> tick(QImage& canvas, QPoint origin);
    // A key or a click: the ringing stops.
    void silence() { ringing_ = false; }

    bool ringing() const { return ringing_; }
    // Ringing, and in the half second the frame is lit.
    bool flashLit() const { return ringing_ && (ringTicks_ - 1) / kFlashTicks % 2 == 0; }
    // Who is connected and the alarm, in the face's status line (two lines).
    QString status() const;

    bool hasView() const { return view_.has_value(); }
    const PreviewEngine& engine() const { return preview_.engine(); }
    const Preview& preview() const { return preview_; }
    const Clock& panelTime() const { return time_; }

private:
    void watchAlarm();

    PanelTime time_;
    Beeper& beeper_;
    Preview preview_;
    std::optional<panelsim::FaceView> view_;
    bool ringing_ = false;
    int ringTicks_ = 0;
    // The minute the alarm last rang at (days since 1970 * 1440 + minute).
    std::optional<std::int64_t> rangAt_;
};
