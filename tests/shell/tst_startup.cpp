// The window programs' start: without a screen they say so in one French line
// and end with 1 (Qt would abort in its platform plugin), and Qt's own texts
// come in French.
#include <QCoreApplication>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QProcess>
#include <QtTest>

#include "AppSetup.h"

class TestStartup : public QObject {
    Q_OBJECT
private slots:
    void noDisplay_data() {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QStringList>("screen");  // the screen variables set, empty
        for (const char* program : {"lumiboard", "glyphsmith"}) {
            QTest::addRow("%s, nothing set", program)
                << QString::fromLatin1(program) << QStringList{};
            QTest::addRow("%s, set but empty", program)
                << QString::fromLatin1(program)
                << QStringList{"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"};
        }
    }
    void noDisplay() {
        QFETCH(QString, program);
        QFETCH(QStringList, screen);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
            env.remove(QString::fromLatin1(name));
        }
        for (const QString& name : screen) {
            env.insert(name, QString());
        }
        QProcess process;
        process.setProcessEnvironment(env);
        process.start(qEnvironmentVariable("LUMI_BIN_DIR") + u'/' + program, {});
        QVERIFY(process.waitForFinished(20000));
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), 1);
        const QString err = QString::fromUtf8(process.readAllStandardError());
        QCOMPARE(err.count(u'\n'), 1);
        QVERIFY2(err.startsWith(program + QStringLiteral(" : aucun écran")), qPrintable(err));
        QCOMPARE(process.readAllStandardOutput(), QByteArray());
    }

    // Needs Qt's French translations (qt6-translations-l10n).
    void qtTextsInFrench() {
        const QString catalog =
            QLibraryInfo::path(QLibraryInfo::TranslationsPath) + QStringLiteral("/qtbase_fr.qm");
        if (!QFileInfo::exists(catalog)) {
            QSKIP("Qt's French translations are not installed");
        }
        int argc = 1;
        char name[] = "tst_startup";
        char* argv[] = {name, nullptr};
        QCoreApplication app(argc, argv);
        QVERIFY(installFrenchQtTexts(app));
        // The words of the start-up question's buttons.
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "&Yes"), QStringLiteral("&Oui"));
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "&No"), QStringLiteral("&Non"));
    }
};

QTEST_APPLESS_MAIN(TestStartup)
#include "tst_startup.moc"
