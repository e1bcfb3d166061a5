// Passing messages, the panel's memory and transliteration: the lumictl
// program against panelsim through the real library.
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

#include <csignal>

#include "Cp1252.h"
#include "PanelSimProcess.h"
#include "StateFile.h"
#include "TestTexts.h"

namespace {

const QString kEarlier = letters(150);
const QString kPassing = QStringLiteral("Livraison");

}  // namespace

class TestLumictlPassing : public QObject {
    Q_OBJECT
    QTemporaryDir state_;  // the user's state folder, the record's home

    // lumictl on the panel, started; the caller waits.
    void start(QProcess& p, const PanelSimProcess& panel, const QStringList& args,
               const QString& stateHome = {}) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_STATE_HOME", stateHome.isEmpty() ? state_.path() : stateHome);
        p.setProcessEnvironment(env);
        p.start(QDir(PanelSimProcess::binDir()).filePath("lumictl"),
                QStringList{"--virtual", panel.socketPath()} + args);
    }
    int run(const PanelSimProcess& panel, const QStringList& args, QString* err = nullptr,
            const QString& stateHome = {}) {
        QProcess p;
        start(p, panel, args, stateHome);
        if (!p.waitForFinished(30000)) {
            return -1;
        }
        if (err != nullptr) {
            *err = QString::fromUtf8(p.readAllStandardError());
        }
        lastOut_ = QString::fromUtf8(p.readAllStandardOutput());
        return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2;
    }
    static QString stored(const PanelSimProcess& panel) {
        const auto loaded = panelsim::loadState(panel.statePath().toStdString());
        return loaded.state ? cp1252::decode(QByteArray::fromStdString(loaded.state->text()))
                            : QStringLiteral("?");
    }
    QString lastOut_;

private slots:
    // The whole earlier text comes back, past the 62 characters a read gives,
    // after the time, at once on Ctrl+C or SIGTERM, and not over another send.
    void passes_data() {
        QTest::addColumn<QString>("how");
        QTest::addColumn<QString>("after");  // the panel's text once lumictl is done
        QTest::addColumn<int>("code");
        QTest::newRow("its time out") << "time" << kEarlier << 0;
        QTest::newRow("SIGTERM puts it back at once") << "term" << kEarlier << 0;
        QTest::newRow("Ctrl+C puts it back at once") << "int" << kEarlier << 0;
        QTest::newRow("another send meanwhile wins") << "overtaken"
                                                     << "Autre" << 0;
        QTest::newRow("panel gone at the end: exit 1") << "gone" << kPassing << 1;
    }
    void passes() {
        QFETCH(QString, how);
        QFETCH(QString, after);
        QFETCH(int, code);
        PanelSimProcess panel({}, true);
        QVERIFY2(panel.ready(), qPrintable(panel.errorText()));
        QCOMPARE(run(panel, {"send", kEarlier}), 0);
        QProcess passing;
        start(passing, panel, {"send", "--for", how == "time" ? "1s" : "1h", kPassing});
        QTRY_COMPARE_WITH_TIMEOUT(stored(panel), kPassing, 15000);
        if (how == "term") {
            passing.terminate();
        } else if (how == "int") {
            ::kill(pid_t(passing.processId()), SIGINT);
        } else if (how == "overtaken") {
            QCOMPARE(run(panel, {"send", "Autre"}), 0);
            passing.terminate();
        } else if (how == "gone") {
            panel.stop();
            passing.terminate();
        }
        QVERIFY(passing.waitForFinished(30000));
        const QString err = QString::fromUtf8(passing.readAllStandardError());
        QCOMPARE(passing.exitStatus(), QProcess::NormalExit);
        QVERIFY2(passing.exitCode() == code, qPrintable(err));
        QCOMPARE(stored(panel), after);
        if (how == "overtaken") {
            QVERIFY2(err.contains("le texte d'avant n'est pas remis"), qPrintable(err));
        } else if (how == "gone") {
            // The text that should be there is said, whole.
            QVERIFY2(err.contains("il faudrait : " + kEarlier), qPrintable(err));
        } else {
            QVERIFY2(QString::fromUtf8(passing.readAllStandardOutput())
                         .contains("texte d'avant remis\n"),
                     qPrintable(err));
        }
    }

    // read --full: the record completes the read, unless another program sent since.
    void readFull() {
        PanelSimProcess panel({}, true);
        QVERIFY2(panel.ready(), qPrintable(panel.errorText()));
        QCOMPARE(run(panel, {"send", kEarlier}), 0);
        QCOMPARE(run(panel, {"read", "--full", "--json"}), 0);
        QJsonObject read = QJsonDocument::fromJson(lastOut_.toUtf8()).object();
        QCOMPARE(read["text"].toString(), kEarlier);
        QCOMPARE(read["complete"].toBool(false), true);
        QCOMPARE(run(panel, {"read"}), 0);
        QCOMPARE(lastOut_, kEarlier.left(62) + '\n');

        // A send that is not ours to know of (another user's record).
        QTemporaryDir other;
        const QString otherText = letters(100).toUpper();
        QCOMPARE(run(panel, {"send", otherText}, nullptr, other.path()), 0);
        QString err;
        QCOMPARE(run(panel, {"read", "--full"}, &err), 0);
        QCOMPARE(lastOut_, otherText.left(62) + '\n');
        QVERIFY2(err.contains("seuls les 62 premiers caractères sont connus"), qPrintable(err));
    }

    void transliterated() {
        PanelSimProcess panel({}, true);
        QVERIFY2(panel.ready(), qPrintable(panel.errorText()));
        QString err;
        QCOMPARE(run(panel, {"send", QStringLiteral("Łódź “Ørsted”")}, &err), 2);
        QCOMPARE(run(panel, {"send", "--translit", QStringLiteral("Łódź “Ørsted”")}, &err), 0);
        QCOMPARE(stored(panel), QStringLiteral("Lódz “Ørsted”"));
    }
};

QTEST_GUILESS_MAIN(TestLumictlPassing)
#include "tst_lumictl_passing.moc"
