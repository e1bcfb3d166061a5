// The window drawn at the screen's scale: run at QT_SCALE_FACTOR 1, 1.25 and 2
// (one ctest entry each), it looks at what the window shows, as a screenshot does.
#include <QtTest>

#include "BinDir.h"

#include <cmath>
#include <set>

#include "AppSetup.h"
#include "FakeSeams.h"
#include "FirmwareUsb.h"
#include "PictureButton.h"
#include "RecordingDialogs.h"
#include "Transfert.h"

namespace {

// The smallest shift in [low, high] under which the pixels of `line` from
// `from` on repeat exactly `repeats` times, or 0.
int exactPeriod(const std::vector<QRgb>& line, int from, int repeats, int low, int high) {
    for (int period = low; period <= high; ++period) {
        if (from + (repeats + 1) * period > int(line.size())) {
            break;
        }
        bool same = true;
        for (int x = from; same && x < from + repeats * period; ++x) {
            same = line[std::size_t(x)] == line[std::size_t(x + period)];
        }
        if (same) {
            return period;
        }
    }
    return 0;
}

// The pixels of one row (vertical: one column) of the image.
std::vector<QRgb> line(const QImage& image, int at, bool vertical) {
    std::vector<QRgb> out;
    for (int i = 0; i < (vertical ? image.height() : image.width()); ++i) {
        out.push_back(vertical ? image.pixel(at, i) : image.pixel(i, at));
    }
    return out;
}

// The colours of a picture's pixels that show, alpha included.
std::set<QRgb> shownColours(const QImage& picture) {
    std::set<QRgb> colours;
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x) {
            if (qAlpha(picture.pixel(x, y)) != 0) {
                colours.insert(picture.pixel(x, y));
            }
        }
    }
    return colours;
}

// True when every 2 x 2 block of the picture is of one colour: a 1x picture doubled.
bool isPixelDoubled(const QImage& picture) {
    for (int y = 0; y + 1 < picture.height(); y += 2) {
        for (int x = 0; x + 1 < picture.width(); x += 2) {
            const QRgb p = picture.pixel(x, y);
            if (picture.pixel(x + 1, y) != p || picture.pixel(x, y + 1) != p ||
                picture.pixel(x + 1, y + 1) != p) {
                return false;
            }
        }
    }
    return true;
}

}  // namespace

class TestScaling : public QObject {
    Q_OBJECT

    FixedClock clock;
    CountingBeeper beeper;
    std::unique_ptr<FirmwareUsb> usb;
    std::unique_ptr<RecordingDialogs> dialogs;
    std::unique_ptr<Tmodul> modul;
    qreal ratio = 1;

    Tmodul& start() {
        usb->present = false;
        modul = std::make_unique<Tmodul>(TmodulSeams{
            *dialogs, clock, beeper, [this] { return usb->loaded(); }, builtBinDir(), {}});
        [&] { QVERIFY(modul->FormCreate()); }();
        modul->show();
        [&] { QTRY_VERIFY(modul->formShown()); }();
        return *modul;
    }

private slots:
    void initTestCase() {
        setUpApplication();
        ratio = qApp->devicePixelRatio();
        qInfo("device pixel ratio %g", ratio);
        QCOMPARE(ratio, qEnvironmentVariableIsSet("QT_SCALE_FACTOR")
                            ? qEnvironmentVariable("QT_SCALE_FACTOR").toDouble()
                            : 1.0);
    }
    void init() {
        clock.at = QDateTime(QDate(2009, 7, 14), QTime(9, 5, 7));
        usb = std::make_unique<FirmwareUsb>();
        dialogs = std::make_unique<RecordingDialogs>();
    }
    void cleanup() {
        modul.reset();
        usb.reset();
    }

    // Every LED column and row the same number of device pixels on from the
    // last: the dark matrix repeats exactly at one pitch both ways, and once it
    // scrolls every LED is one of two pictures at that pitch.
    void ledPitchIsEven() {
        Tmodul& w = start();
        w.Timer1->stop();  // the test ticks by itself
        const auto tick = [&w](int times) {
            for (int i = 0; i < times; ++i) {
                w.Timer1Timer();
            }
        };
        tick(3);  // the first 9 leave the matrix dark
        QImage shot = w.centralWidget()->grab().toImage();
        QCOMPARE(shot.devicePixelRatio(), ratio);
        const QPoint led = w.Bevel1->geometry().topLeft() + QPoint(15, 15);
        // From inside the first LED, so every shift stays on the matrix.
        const int x0 = int(std::ceil(led.x() * ratio)) + 1;
        const int y0 = int(std::ceil(led.y() * ratio)) + 1;
        const int low = int(std::floor(18 * ratio)) - 1;
        const int high = int(std::ceil(18 * ratio)) + 1;
        std::set<int> pitches;
        for (int r = 0; r < 10; ++r) {
            pitches.insert(
                exactPeriod(line(shot, y0 + int((r * 18 + 8) * ratio), false), x0, 18, low, high));
        }
        for (int c = 0; c < 20; c += 3) {
            pitches.insert(
                exactPeriod(line(shot, x0 + int((c * 18 + 8) * ratio), true), y0, 8, low, high));
        }
        QCOMPARE(pitches.size(), std::size_t(1));
        const int pitch = *pitches.begin();
        QVERIFY2(pitch != 0, "no exact pitch");
        // The matrix is what repeats, not the window's silver.
        QVERIFY(shot.pixel(x0 + pitch / 2, y0 + pitch / 2) != QColor(192, 192, 192).rgb());

        tick(40);  // "J" and "o" on show
        shot = w.centralWidget()->grab().toImage();
        std::set<QByteArray> leds;
        for (int c = 0; c < 20; ++c) {
            for (int r = 0; r < 10; ++r) {
                const QImage part = shot.copy(x0 + c * pitch, y0 + r * pitch, pitch / 2, pitch / 2);
                leds.insert(QByteArray(reinterpret_cast<const char*>(part.constBits()),
                                       part.sizeInBytes()));
            }
        }
        QCOMPARE(leds.size(), std::size_t(2));  // lit and unlit, each alike everywhere
    }

    // The button pictures at the screen's resolution, drawn from the trident's
    // outline: hard-edged (its own colours only) and, at 2, finer than the
    // 1x picture doubled; the screenshot shows them pixel for pixel.
    void buttonPictureAtScreenResolution_data() {
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<bool>("send");
        QTest::newRow("send") << true << true;
        QTest::newRow("read") << true << false;
        QTest::newRow("send disabled") << false << true;
        QTest::newRow("read disabled") << false << false;
    }
    void buttonPictureAtScreenResolution() {
        QFETCH(bool, enabled);
        QFETCH(bool, send);
        Tmodul& w = start();
        PictureButton* button = send ? w.envcBtn : w.BitBtn1;
        button->setEnabled(enabled);
        const QImage picture = button->shownPicture().toImage();
        QCOMPARE(picture.devicePixelRatio(), ratio);
        QCOMPARE(picture.size(), QSize(35, 21) * ratio);

        const std::set<QRgb> colours = shownColours(picture);
        if (enabled) {
            const std::set<QRgb> trident{qRgb(0, 0, 0), qRgb(128, 128, 128)};
            QCOMPARE(colours, trident);
        } else {
            QVERIFY(colours.size() <= 3);  // the disabled look's few greys, no smoothing
        }
        if (ratio == 2) {
            QVERIFY(!isPixelDoubled(picture));
        }

        // On screen where the layout puts it: 13 from the left edge (send), or
        // centred with the caption (read); the pixels are the picture's.
        const QImage shot = button->grab().toImage();
        QCOMPARE(shot.devicePixelRatio(), ratio);
        const int textWidth =
            button->fontMetrics().horizontalAdvance(QString(button->text()).remove(u'&'));
        const int left = send ? 13 : (button->width() - (35 + 6 + textWidth)) / 2;
        const QPoint at(int(std::round(left * ratio)),
                        int(std::round((button->height() - 21) / 2 * ratio)));
        int compared = 0;
        for (int y = 0; y < picture.height(); ++y) {
            for (int x = 0; x < picture.width(); ++x) {
                if (qAlpha(picture.pixel(x, y)) == 255) {
                    QCOMPARE(shot.pixel(at + QPoint(x, y)), picture.pixel(x, y));
                    ++compared;
                }
            }
        }
        QVERIFY(compared > 100);
    }
};

QTEST_MAIN(TestScaling)
#include "tst_scaling.moc"
