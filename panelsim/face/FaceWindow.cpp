#include "FaceWindow.h"

#include <unistd.h>

#include <qdrawutil.h>
#include <QKeyEvent>
#include <QPainter>
#include <QVBoxLayout>

#include <cerrno>

#include "LedGeometry.h"
#include "SystemErrors.h"

namespace {

// The board: the LEDs with the margin lumiboard's frame leaves around them.
constexpr int kMargin = 15;
constexpr int kBoardWidth = 2 * kMargin + PreviewEngine::kShownColumns * kLedPitch;
constexpr int kBoardHeight = 2 * kMargin + PreviewEngine::kRows * kLedPitch;
constexpr int kBoardLeft = 10;
constexpr int kBoardTop = 10;
constexpr int kFlashWidth = 4;
// lumiboard's silver: the LED pictures carry it around each LED.
const QColor kBoardColour(192, 192, 192);
const QColor kFlashColour(230, 40, 20);

}  // namespace

FaceWindow::FaceWindow(PanelFace& face, int feedFd, QWidget* parent)
    : QWidget(parent), face_(face), feedFd_(feedFd), status_(new QLabel(this)) {
    setWindowTitle(QStringLiteral("Panneau virtuel"));
    setFocusPolicy(Qt::StrongFocus);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(kBoardLeft, kBoardTop + kBoardHeight + 8, kBoardLeft, 8);
    layout->addWidget(status_);
    status_->setMinimumWidth(kBoardWidth);
    setFixedSize(kBoardLeft * 2 + kBoardWidth,
                 kBoardTop + kBoardHeight + 8 + 2 * fontMetrics().lineSpacing() + 16);
    connect(&timer_, &QTimer::timeout, this, &FaceWindow::tick);
    timer_.start(kPreviewTickMs);
    showStatus();
}

bool FaceWindow::readFeed() {
    if (feedFd_ < 0) {
        return true;
    }
    char buffer[kReadSize];
    std::optional<panelsim::FaceView> newest;
    for (int reads = 0; reads < kReadsPerTick;) {
        const ssize_t n = ::read(feedFd_, buffer, sizeof buffer);
        if (n > 0) {
            ++reads;
            reader_.feed(buffer, static_cast<std::size_t>(n));
            // Each round trims what is not a view, so the face keeps no more
            // than one read beyond a message.
            while (auto view = reader_.next()) {
                newest = std::move(view);
            }
            if (static_cast<std::size_t>(n) < sizeof buffer) {
                break;
            }
            continue;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            break;
        }
        return false;  // the end, or a feed that broke
    }
    if (newest) {
        face_.apply(*newest);
        showStatus();
    }
    return true;
}

QString FaceWindow::pictureFailureText(const LedPictureFailure& failure) {
    if (failure.kind == LedPictureFailure::Kind::NotValid) {
        return QStringLiteral("Image de LED non valable : %1").arg(failure.path);
    }
    return QStringLiteral("Image de LED illisible : %1 (%2)")
        .arg(failure.path, systemErrorReason(failure.error));
}

QRect FaceWindow::boardRect() const {
    return {kBoardLeft, kBoardTop, kBoardWidth, kBoardHeight};
}

void FaceWindow::tick() {
    if (ended_) {
        return;
    }
    if (!readFeed()) {
        ended_ = true;
        emit feedEnded();
        return;
    }
    const qreal ratio = devicePixelRatioF();
    if (canvas_.isNull() || canvas_.devicePixelRatio() != ratio) {
        canvas_ =
            QImage((QSizeF(kBoardWidth, kBoardHeight) * ratio).toSize(), QImage::Format_RGB32);
        canvas_.setDevicePixelRatio(ratio);
        canvas_.fill(kBoardColour);
    }
    const bool wasRinging = face_.ringing();
    const auto failure = face_.tick(canvas_, QPoint(kMargin, kMargin));
    if (failure != pictureError_) {
        pictureError_ = failure;
        showStatus();
    }
    const QRect changed = face_.preview().changedArea();
    if (!changed.isEmpty()) {
        update(changed.translated(boardRect().topLeft()));
    }
    if (face_.flashLit() != flashShown_) {
        flashShown_ = face_.flashLit();
        update(boardRect());
    }
    if (face_.ringing() != wasRinging) {
        showStatus();
    }
}

void FaceWindow::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    painter.setClipRegion(event->region());
    painter.fillRect(rect(), palette().window());
    if (canvas_.isNull()) {
        painter.fillRect(boardRect(), kBoardColour);
    } else {
        painter.drawImage(boardRect().topLeft(), canvas_);
    }
    // Raised like lumiboard's frame round its preview.
    qDrawShadePanel(&painter, boardRect().adjusted(-2, -2, 2, 2), palette(), false, 2);
    if (flashShown_) {
        const int inset = kFlashWidth / 2;
        painter.setPen(QPen(kFlashColour, kFlashWidth));
        painter.drawRect(boardRect().adjusted(inset, inset, -inset, -inset));
    }
}

void FaceWindow::keyPressEvent(QKeyEvent* event) {
    silence();
    QWidget::keyPressEvent(event);
}

void FaceWindow::mousePressEvent(QMouseEvent* event) {
    silence();
    QWidget::mousePressEvent(event);
}

void FaceWindow::silence() {
    if (face_.ringing()) {
        face_.silence();
        flashShown_ = false;
        update(boardRect());
        showStatus();
    }
}

void FaceWindow::showStatus() {
    QString text = face_.status();
    if (pictureError_) {
        text += QLatin1Char('\n') + pictureFailureText(*pictureError_);
    }
    status_->setText(text);
}
