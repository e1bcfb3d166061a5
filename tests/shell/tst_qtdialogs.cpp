#include <QLabel>
#include <QMessageBox>
#include <QtTest>

#include "QtDialogs.h"

// The real message boxes, answered as soon as they show.
class TestQtDialogs : public QObject {
    Q_OBJECT

    // Runs show while a timer reads the box that comes up and closes it.
    static std::pair<Qt::TextFormat, QString> shownBy(const std::function<void()>& show) {
        std::pair<Qt::TextFormat, QString> seen{Qt::RichText, {}};
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                seen = {box->textFormat(), box->text()};
                box->done(QMessageBox::Ok);
            }
        });
        poll.start(10);
        show();
        return seen;
    }

private slots:
    // Typed text reaches the boxes ("'<b>12</b>' is not a valid integer
    // value."): it must show as typed, and never load a picture.
    void everyBoxShowsPlainText_data() {
        QTest::addColumn<int>("kind");
        for (int kind = 0; kind < 5; ++kind) {
            QTest::newRow(QByteArray::number(kind).constData()) << kind;
        }
    }
    void everyBoxShowsPlainText() {
        QFETCH(int, kind);
        QtDialogs dialogs;
        const QString text = QStringLiteral("'<b>12</b>:30 <img src=\"x.png\">'");
        const auto seen = shownBy([&] {
            switch (kind) {
                case 0:
                    dialogs.error(text);
                    break;
                case 1:
                    dialogs.confirm(text);
                    break;
                case 2:
                    dialogs.askYesNo(text);
                    break;
                case 3:
                    dialogs.message(text);
                    break;
                default:
                    dialogs.reportError(text);
                    break;
            }
        });
        QCOMPARE(seen.first, Qt::PlainText);
        QVERIFY(seen.second.startsWith(text));
    }
};

QTEST_MAIN(TestQtDialogs)
#include "tst_qtdialogs.moc"
