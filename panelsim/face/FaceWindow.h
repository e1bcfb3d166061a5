// "Panneau virtuel": the panel's LEDs on lumiboard's silver and a status line,
// ticking every 50 ms. Views come from a feed descriptor, read at every tick
// only: a text sent is on show at the next tick, and programs busy with the
// panel never wake the face in between.
#pragma once

#include <QImage>
#include <QLabel>
#include <QTimer>
#include <QWidget>

#include "FaceFeed.h"
#include "PanelFace.h"

class FaceWindow final : public QWidget {
    Q_OBJECT
public:
    // feedFd: a pipe from panelsim (-1: none); its end closes the window.
    FaceWindow(PanelFace& face, int feedFd, QWidget* parent = nullptr);

    // What one tick reads of the feed at most: a whole pipe of panelsim's,
    // while a feed that never runs dry (a wrong descriptor, /dev/zero) can
    // neither hold up the drawing nor fill the memory.
    static constexpr int kReadSize = 4096;
    static constexpr int kReadsPerTick = 16;

    // Reads what the feed holds, up to the bound, and shows its newest view;
    // false at its end.
    bool readFeed();
    void tick();

signals:
    // The feed ended: panelsim has stopped.
    void feedEnded();

public:
    // The status line's words for an LED picture that could not be loaded.
    static QString pictureFailureText(const LedPictureFailure& failure);

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    void silence();
    void showStatus();
    QRect boardRect() const;

    PanelFace& face_;
    int feedFd_;
    panelsim::FaceFeedReader reader_;
    bool ended_ = false;
    QTimer timer_;
    QImage canvas_;
    QLabel* status_;
    std::optional<LedPictureFailure> pictureError_;
    bool flashShown_ = false;
};
