// The least a scrolling 20 x 10 LED preview can cost: a plain window that
// repaints a grid of cached 16 x 16 pictures every 50 ms, the pattern moving
// one column per repaint. Compared with lumiboard by cpu_side_by_side.sh.
//   build/bench/cpu_floor
#include <QApplication>
#include <QPainter>
#include <QPixmap>
#include <QTimer>
#include <QWidget>

#include <array>

namespace {

constexpr int kColumns = 20;
constexpr int kRows = 10;
constexpr int kPicture = 16;
constexpr int kPitch = 18;
constexpr QPoint kOrigin(31, 53);  // where lumiboard has its matrix

QPixmap disc(const QColor& colour, qreal ratio) {
    QPixmap pixmap(QSize(kPicture, kPicture) * ratio);
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(QColor(192, 192, 192));
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(colour.darker(150));
    painter.setBrush(colour);
    painter.drawEllipse(QRectF(1, 1, kPicture - 2, kPicture - 2));
    return pixmap;
}

class Floor final : public QWidget {
public:
    Floor() {
        setWindowTitle(QStringLiteral("cpu_floor"));
        resize(553, 294);
        const qreal ratio = devicePixelRatioF();
        pictures_ = {disc(QColor(128, 128, 128), ratio), disc(QColor(40, 80, 255), ratio)};
        timer_.setTimerType(Qt::PreciseTimer);
        timer_.setInterval(50);
        connect(&timer_, &QTimer::timeout, this, [this] {
            ++phase_;
            update(QRect(kOrigin, QSize(kColumns * kPitch, kRows * kPitch)));
        });
        timer_.start();
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        for (int c = 0; c < kColumns; ++c) {
            for (int r = 0; r < kRows; ++r) {
                // A diagonal stripe pattern that moves left one column a repaint.
                const bool lit = (c + r + phase_) % 7 < 3;
                painter.drawPixmap(kOrigin + QPoint(c * kPitch, r * kPitch),
                                   pictures_[lit ? 1 : 0]);
            }
        }
    }

private:
    std::array<QPixmap, 2> pictures_;
    QTimer timer_;
    int phase_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    Floor floor;
    floor.move(0, 0);
    floor.show();
    return app.exec();
}
