#include <cerrno>

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <QTest>

#include "FakeSeams.h"
#include "Fonts.h"
#include "Preview.h"

namespace {

const QPoint kOrigin(31, 53);  // Bevel1 at (16, 38) plus 15 pixels

// See-through, or of the window's silver as the window's own canvas is.
QImage blankCanvas(QImage::Format format = QImage::Format_ARGB32_Premultiplied) {
    QImage canvas(422, 300, format);
    canvas.fill(canvas.hasAlphaChannel() ? QColor(Qt::transparent) : QColor(192, 192, 192));
    return canvas;
}

QImage picture(const char* name) {
    QImage image(QDir(QStringLiteral(LUMI_ASSETS_DIR)).filePath(QString::fromLatin1(name)), "BMP");
    return image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

// Copies both LED pictures into dir; false when a copy failed.
bool copyPictures(const QString& dir) {
    for (const char* name : {kUnlitLedFile, kLitLedFile}) {
        const QString to = QDir(dir).filePath(QString::fromLatin1(name));
        QFile::remove(to);
        if (!QFile::copy(QDir(QStringLiteral(LUMI_ASSETS_DIR)).filePath(name), to)) {
            return false;
        }
    }
    return true;
}

}  // namespace

class TestPreviewPaint : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    QString path(const char* name) const { return dir_.filePath(QString::fromLatin1(name)); }
    void putPictures() { QVERIFY(copyPictures(dir_.path())); }

private slots:
    void init() { putPictures(); }

    void picturesAreSmallBitmaps() {
        for (const char* name : {kUnlitLedFile, kLitLedFile}) {
            const QImage image = picture(name);
            QVERIFY(!image.isNull());
            QVERIFY(image.width() <= kLedPitch && image.height() <= kLedPitch);
        }
        QVERIFY(picture(kUnlitLedFile) != picture(kLitLedFile));
    }

    void drawsEveryLedAtItsPlace_data() {
        QTest::addColumn<QImage::Format>("format");
        QTest::newRow("see-through") << QImage::Format_ARGB32_Premultiplied;
        QTest::newRow("opaque") << QImage::Format_RGB32;
    }
    void drawsEveryLedAtItsPlace() {
        QFETCH(QImage::Format, format);
        FixedClock clock;
        CountingBeeper beeper;
        Preview preview(clock, beeper, dir_.path(), QString());
        preview.reset();
        QImage canvas = blankCanvas(format);
        const QRgb blank = canvas.pixel(0, 0);
        const QImage unlit = picture(kUnlitLedFile);
        const QImage lit = picture(kLitLedFile);
        const QPoint mid(unlit.width() / 2, unlit.height() / 2);

        for (int t = 1; t <= 11; ++t) {
            QVERIFY(!preview.tick(canvas, kOrigin));
            if (t == 1) {
                // Dark matrix: the unlit picture everywhere, nothing outside the matrix.
                for (const QPoint led : {QPoint(0, 0), QPoint(19, 9), QPoint(7, 4)}) {
                    const QPoint at = kOrigin + kLedPitch * led;
                    QCOMPARE(canvas.pixel(at + mid), unlit.pixel(mid));
                    QCOMPARE(canvas.pixel(at), unlit.pixel(0, 0));
                }
                QCOMPARE(canvas.pixel(kOrigin - QPoint(1, 1)), blank);
                QCOMPARE(canvas.pixel(kOrigin + QPoint(20 * kLedPitch, 0)), blank);
                QCOMPARE(canvas.pixel(kOrigin + QPoint(0, 10 * kLedPitch)), blank);
            }
        }
        // The 11th tick shows the first lit column of "J" at the right edge.
        const quint16 column = fontColumn('J', 8, 1);
        for (int r = 0; r < 10; ++r) {
            const bool on = (column & (1u << r)) == 0;
            const QPoint at = kOrigin + QPoint(19 * kLedPitch, r * kLedPitch) + mid;
            QCOMPARE(canvas.pixel(at), (on ? lit : unlit).pixel(mid));
        }
        QCOMPARE(canvas.pixel(kOrigin + QPoint(18 * kLedPitch, 0) + mid), unlit.pixel(mid));
    }

    void missingPictureReportedOncePerRun_data() {
        QTest::addColumn<QByteArray>("file");
        QTest::newRow("unlit") << QByteArray(kUnlitLedFile);
        QTest::newRow("lit") << QByteArray(kLitLedFile);
    }
    void missingPictureReportedOncePerRun() {
        QFETCH(QByteArray, file);
        FixedClock clock;
        CountingBeeper beeper;
        Preview preview(clock, beeper, dir_.path(), QString());
        preview.reset();
        QImage canvas = blankCanvas();
        QVERIFY(!preview.tick(canvas, kOrigin));
        const QImage before = canvas;

        QVERIFY(QFile::remove(path(file.constData())));
        const auto report = preview.tick(canvas, kOrigin);
        QVERIFY(report);
        QCOMPARE(report->kind, LedPictureFailure::Kind::CannotOpen);
        QCOMPARE(report->path,
                 QDir::toNativeSeparators(QFileInfo(path(file.constData())).absoluteFilePath()));
        QCOMPARE(report->error, ENOENT);  // the system's reason goes with it
        for (int i = 0; i < 40; ++i) {
            QVERIFY(!preview.tick(canvas, kOrigin));
        }
        QCOMPARE(preview.engine().shifts(), quint64(1));  // nothing shifted or read
        canvas.fill(Qt::transparent);
        QVERIFY(!preview.tick(canvas, kOrigin));
        QCOMPARE(canvas, blankCanvas());  // nothing drawn

        putPictures();
        QVERIFY(!preview.tick(canvas, kOrigin));
        QCOMPARE(preview.engine().shifts(), quint64(2));
        QCOMPARE(canvas, before);

        // A new run of failures is reported again.
        QVERIFY(QFile::remove(path(file.constData())));
        QVERIFY(preview.tick(canvas, kOrigin));
        QVERIFY(!preview.tick(canvas, kOrigin));
    }

    void invalidBitmap() {
        FixedClock clock;
        CountingBeeper beeper;
        Preview preview(clock, beeper, dir_.path(), QString());
        preview.reset();
        QFile file(path(kLitLedFile));
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write("BM not really a bitmap");
        file.close();
        QImage canvas = blankCanvas();
        QCOMPARE(preview.tick(canvas, kOrigin),
                 std::optional(LedPictureFailure{LedPictureFailure::Kind::NotValid,
                                                 QDir::toNativeSeparators(path(kLitLedFile)), 0}));
        QCOMPARE(canvas, blankCanvas());
        QCOMPARE(preview.engine().shifts(), quint64(0));
    }

    // A picture cut short once gave partly garbage LEDs and no report.
    void truncatedBitmap_data() {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<int>("keep");  // bytes kept; negative: that many cut off the end
        QTest::newRow("first 100 bytes") << QByteArray(kLitLedFile) << 100;
        QTest::newRow("headers only") << QByteArray(kLitLedFile) << 54;
        QTest::newRow("file header only") << QByteArray(kUnlitLedFile) << 14;
        QTest::newRow("last byte missing") << QByteArray(kUnlitLedFile) << -1;
        QTest::newRow("last row missing") << QByteArray(kLitLedFile) << -56;
    }
    void truncatedBitmap() {
        QFETCH(QByteArray, file);
        QFETCH(int, keep);
        FixedClock clock;
        CountingBeeper beeper;
        Preview preview(clock, beeper, dir_.path(), QString());
        preview.reset();
        QFile picture(path(file.constData()));
        QVERIFY(picture.open(QIODevice::ReadWrite));
        const QByteArray whole = picture.readAll();
        QVERIFY(picture.resize(keep >= 0 ? keep : whole.size() + keep));
        picture.close();

        QImage canvas = blankCanvas();
        const auto report = preview.tick(canvas, kOrigin);
        QVERIFY(report);
        QCOMPARE(report->kind, LedPictureFailure::Kind::NotValid);
        QVERIFY(!preview.tick(canvas, kOrigin));  // once per run of failures
        QCOMPARE(canvas, blankCanvas());
        QCOMPARE(preview.engine().shifts(), quint64(0));

        // Whole again, with trailing bytes a writer may leave: the preview goes on.
        QVERIFY(picture.open(QIODevice::WriteOnly | QIODevice::Truncate));
        picture.write(whole + QByteArray(3, '\0'));
        picture.close();
        QVERIFY(!preview.tick(canvas, kOrigin));
        QCOMPARE(preview.engine().shifts(), quint64(1));
        QVERIFY(canvas != blankCanvas());
    }

    void readsFromTheWorkingDirectoryByDefault() {
        const QString previous = QDir::currentPath();
        QVERIFY(QDir::setCurrent(dir_.path()));
        FixedClock clock;
        CountingBeeper beeper;
        Preview preview(clock, beeper, QString(), QString());
        preview.reset();
        QImage canvas = blankCanvas();
        QVERIFY(!preview.tick(canvas, kOrigin));
        QVERIFY(QFile::remove(path(kUnlitLedFile)));
        const auto report = preview.tick(canvas, kOrigin);
        QVERIFY(QDir::setCurrent(previous));
        QVERIFY(report);
        QCOMPARE(report->path, QFileInfo(path(kUnlitLedFile)).absoluteFilePath());
    }

    // Not in the working folder: the program's data folder, installed or in a build tree.
    void fallsBackToTheProgramsDataFolder_data() {
        QTest::addColumn<QString>("dataDir");  // under the program's prefix
        QTest::newRow("installed") << QStringLiteral("share/lumiboard");
        QTest::newRow("build tree") << QStringLiteral("bin");
    }
    void fallsBackToTheProgramsDataFolder() {
        QFETCH(QString, dataDir);
        QTemporaryDir prefix;
        QTemporaryDir working;
        const QDir root(prefix.path());
        QVERIFY(root.mkpath(QStringLiteral("bin")) && root.mkpath(dataDir));
        QVERIFY(copyPictures(root.filePath(dataDir)));
        FixedClock clock;
        CountingBeeper beeper;
        Preview preview(clock, beeper, working.path(), root.filePath(QStringLiteral("bin")));
        preview.reset();
        QImage canvas = blankCanvas();
        QCOMPARE(preview.tick(canvas, kOrigin), std::nullopt);
        const QImage unlit = picture(kUnlitLedFile);
        const QPoint mid(unlit.width() / 2, unlit.height() / 2);
        QCOMPARE(canvas.pixel(kOrigin + mid), unlit.pixel(mid));

        // Missing everywhere: the report names the working folder's file.
        QVERIFY(QFile::remove(QDir(root.filePath(dataDir)).filePath(kLitLedFile)));
        const auto report = preview.tick(canvas, kOrigin);
        QVERIFY(report);
        const QString inWorking = QDir::toNativeSeparators(
            QFileInfo(QDir(working.path()).filePath(kLitLedFile)).absoluteFilePath());
        QCOMPARE(report->kind, LedPictureFailure::Kind::CannotOpen);
        QCOMPARE(report->path, inWorking);
    }

    void workingFolderPictureComesFirst() {
        QTemporaryDir program;
        QVERIFY(copyPictures(program.path()));
        QImage red(kLedPitch, kLedPitch, QImage::Format_RGB32);
        red.fill(Qt::red);
        QVERIFY(QFile::remove(path(kUnlitLedFile)));
        QVERIFY(red.save(path(kUnlitLedFile), "BMP"));
        FixedClock clock;
        CountingBeeper beeper;
        Preview preview(clock, beeper, dir_.path(), program.path());
        preview.reset();
        QImage canvas = blankCanvas();
        QCOMPARE(preview.tick(canvas, kOrigin), std::nullopt);
        QCOMPARE(QColor(canvas.pixel(kOrigin + QPoint(5, 5))), QColor(Qt::red));
    }

    // The pictures are kept between ticks, yet any change of their files shows
    // at the next tick as a fresh read would: the frame is the full matrix of the
    // pictures on disk, and a missing or cut file is reported, nothing drawn.
    void fileChangesBetweenTicks_data() {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("change");
        QTest::addColumn<QString>("report");  // empty: none; else which failure
        QTest::newRow("unlit replaced") << QByteArray(kUnlitLedFile) << "replace"
                                        << "";
        QTest::newRow("lit replaced") << QByteArray(kLitLedFile) << "replace"
                                      << "";
        QTest::newRow("unlit rewritten in place") << QByteArray(kUnlitLedFile) << "rewrite"
                                                  << "";
        QTest::newRow("lit truncated") << QByteArray(kLitLedFile) << "truncate"
                                       << "not valid";
        QTest::newRow("unlit removed") << QByteArray(kUnlitLedFile) << "remove"
                                       << "cannot open";
    }
    void fileChangesBetweenTicks() {
        QFETCH(QByteArray, file);
        QFETCH(QString, change);
        QFETCH(QString, report);
        FixedClock clock;
        CountingBeeper beeper;
        Preview preview(clock, beeper, dir_.path(), QString());
        preview.reset();
        QImage canvas = blankCanvas();
        // The full matrix as a fresh read of both files draws it, for the engine's state.
        const auto expectedFrame = [&] {
            QImage frame = blankCanvas();
            const QImage unlit = QImage(path(kUnlitLedFile)).convertToFormat(frame.format());
            const QImage lit = QImage(path(kLitLedFile)).convertToFormat(frame.format());
            QPainter painter(&frame);
            for (int c = 0; c < 20; ++c) {
                for (int r = 0; r < 10; ++r) {
                    painter.drawImage(kOrigin + kLedPitch * QPoint(c, r),
                                      preview.engine().isLit(c, r) ? lit : unlit);
                }
            }
            return frame;
        };
        for (int i = 0; i < 12; ++i) {  // lit LEDs on show; both pictures kept
            QVERIFY(!preview.tick(canvas, kOrigin));
        }
        QCOMPARE(preview.decodes(), 2);

        // File times move on by the kernel's clock tick: a change within the same
        // tick as the copy would look like no change at all.
        QTest::qSleep(20);
        const QString name = path(file.constData());
        QImage other(kLedPitch, kLedPitch, QImage::Format_RGB32);
        other.fill(Qt::red);
        if (change == "replace") {  // a new file renamed over the old one
            QVERIFY(other.save(name + ".new", "BMP"));
            QVERIFY(QFile::remove(name) && QFile::rename(name + ".new", name));
        } else if (change == "rewrite") {  // same file, same size, new pixels
            QByteArray bytes;
            QBuffer buffer(&bytes);
            QVERIFY(buffer.open(QIODevice::WriteOnly) && other.save(&buffer, "BMP"));
            QFile f(name);
            QVERIFY(f.open(QIODevice::ReadOnly));
            QCOMPARE(f.size(), bytes.size());
            f.close();
            QVERIFY(f.open(QIODevice::WriteOnly));  // no truncation: the inode stays
            QCOMPARE(f.write(bytes), bytes.size());
        } else if (change == "truncate") {
            QVERIFY(QFile(name).resize(60));
        } else {
            QVERIFY(QFile::remove(name));
        }
        const QImage before = canvas;
        const QImage expected = report.isEmpty() ? expectedFrame() : before;
        const auto shifts = preview.engine().shifts();
        const auto said = preview.tick(canvas, kOrigin);
        QCOMPARE(said.has_value(), !report.isEmpty());
        if (said) {
            QCOMPARE(said->kind, report == "not valid" ? LedPictureFailure::Kind::NotValid
                                                       : LedPictureFailure::Kind::CannotOpen);
            QCOMPARE(said->path, QDir::toNativeSeparators(name));
            QCOMPARE(preview.engine().shifts(), shifts);
        }
        QCOMPARE(canvas, expected);

        // Put back: shown again at once, then kept.
        putPictures();
        const QImage restored = expectedFrame();
        QVERIFY(!preview.tick(canvas, kOrigin));
        QCOMPARE(canvas, restored);
        const int decodes = preview.decodes();
        for (int i = 0; i < 5; ++i) {
            const QImage frame = expectedFrame();
            QVERIFY(!preview.tick(canvas, kOrigin));
            QCOMPARE(canvas, frame);
        }
        QCOMPARE(preview.decodes(), decodes);
    }

    // A canvas with a pixel ratio gets whole-pixel places: an even pitch, every
    // LED alike, and at 2 the 1x picture doubled, not smoothed.
    void canvasAtScale_data() {
        QTest::addColumn<double>("ratio");
        QTest::addColumn<int>("pitch");
        QTest::addColumn<QPoint>("origin");
        QTest::newRow("1") << 1.0 << 18 << QPoint(31, 53);
        QTest::newRow("1.25") << 1.25 << 22 << QPoint(39, 67);
        QTest::newRow("1.5") << 1.5 << 27 << QPoint(47, 80);
        QTest::newRow("2") << 2.0 << 36 << QPoint(62, 106);
    }
    void canvasAtScale() {
        QFETCH(double, ratio);
        QFETCH(int, pitch);
        QFETCH(QPoint, origin);
        const LedGrid grid = LedGrid::at(kOrigin, ratio);
        QCOMPARE(grid.pitch, pitch);
        QCOMPARE(grid.origin, origin);
        FixedClock clock;
        CountingBeeper beeper;
        Preview preview(clock, beeper, dir_.path(), QString());
        preview.reset();
        QImage canvas(QSize(422, 300) * ratio, QImage::Format_ARGB32_Premultiplied);
        canvas.setDevicePixelRatio(ratio);
        canvas.fill(Qt::transparent);
        QVERIFY(!preview.tick(canvas, kOrigin));
        const QImage first = canvas.copy(QRect(origin, QSize(pitch, pitch)));
        for (int c = 0; c < 20; c += 19) {
            for (int r = 0; r < 10; r += 9) {
                QCOMPARE(canvas.copy(QRect(origin + pitch * QPoint(c, r), QSize(pitch, pitch))),
                         first);
            }
        }
        // The window is told the area drawn, in its own units.
        QCOMPARE(preview.changedArea(),
                 QRectF(QPointF(origin) / ratio, QSizeF(20 * pitch, 10 * pitch) / ratio)
                     .toAlignedRect());
        if (ratio == 2) {
            const QImage unlit = picture(kUnlitLedFile);
            QImage doubled = unlit.scaled(unlit.size() * 2);
            doubled.setDevicePixelRatio(2);
            QCOMPARE(first, doubled);
        }
        // A dark matrix again: nothing changed, nothing drawn.
        QVERIFY(!preview.tick(canvas, kOrigin));
        QVERIFY(preview.changedArea().isEmpty());
    }

    void ticksBeforeStartUpTouchNothing() {
        QVERIFY(QFile::remove(path(kUnlitLedFile)));
        FixedClock clock;
        CountingBeeper beeper;
        Preview preview(clock, beeper, dir_.path(), QString());
        QImage canvas = blankCanvas();
        for (int i = 0; i < 5; ++i) {
            QVERIFY(!preview.tick(canvas, kOrigin));
        }
        QCOMPARE(canvas, blankCanvas());
    }
};

QTEST_MAIN(TestPreviewPaint)
#include "tst_previewpaint.moc"
