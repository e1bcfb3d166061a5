#include <QtTest>

#include <cerrno>
#include <functional>

#include "RecordingDialogs.h"
#include "WindowMessages.h"

namespace {

using Kind = RecordingDialogs::Kind;

const QString kAccessLine = QStringLiteral(
    "\nAccès au panneau refusé : installez la règle udev 70-lumiboard-panel.rules (voir le "
    "README, Dépannage).");

LinkFailure failure(LinkFailure::Step step, int error = 0,
                    LinkFailure::Step transfer = LinkFailure::Step::Write) {
    LinkFailure f;
    f.step = step;
    f.transfer = step == LinkFailure::Step::Open ? transfer : step;
    f.error = error;
    return f;
}

LibraryLoad library(LibraryLoad::Result result, const QString& why = {}) {
    LibraryLoad load;
    load.result = result;
    load.fileName = QStringLiteral("libmpusbapi.so");
    load.loaderError = why;
    return load;
}

struct Case {
    const char* name;
    std::function<void(WindowMessages&)> tell;
    QList<QPair<Kind, QString>> shown;
};

// Each outcome, and the dialogs the window shows for it, in order.
const QList<Case>& cases() {
    using S = LinkFailure::Step;
    static const QList<Case> all = {
        {"library not found",
         [](WindowMessages& m) { m.libraryNotBound(library(LibraryLoad::Result::NotFound)); },
         {{Kind::Message, "Fichier libmpusbapi.so introuvable"},
          {Kind::Message, "La librairie MPUSBAPI.DLL est introuvable !"}}},
        {"library will not load",
         [](WindowMessages& m) {
             m.libraryNotBound(library(LibraryLoad::Result::WillNotLoad, "bad ELF"));
         },
         {{Kind::Message, "Erreur lors du chargement de libmpusbapi.so\nbad ELF"},
          {Kind::Message, "La librairie MPUSBAPI.DLL est introuvable !"}}},
        {"library lacks an entry point",
         [](WindowMessages& m) {
             m.libraryNotBound(library(LibraryLoad::Result::EntryPointMissing));
         },
         {{Kind::Message, "Erreur lors du chargement de libmpusbapi.so"},
          {Kind::Message, "La librairie MPUSBAPI.DLL est introuvable !"}}},
        {"no panel",
         [](WindowMessages& m) { m.noPanel(0); },
         {{Kind::Confirm, "Pas de Journal lumineux connecté sur port USB."}}},
        {"no panel we may open",
         [](WindowMessages& m) { m.noPanel(EACCES); },
         {{Kind::Confirm, "Pas de Journal lumineux connecté sur port USB." + kAccessLine}}},
        {"read memory?",
         [](WindowMessages& m) { m.askReadMemory(); },
         {{Kind::Question, "Lire la mémoire du Journal ?"}}},
        {"nothing to send",
         [](WindowMessages& m) {
             SendOutcome o;
             o.nothingToSend = true;
             m.whileOpen(o);
             m.afterSend(o);
         },
         {{Kind::Error, "Aucun texte a envoyer !"}}},
        {"sent",
         [](WindowMessages& m) {
             SendOutcome o;
             o.sentChars = 5;
             m.whileOpen(o);
             m.afterSend(o);
         },
         {{Kind::Confirm, "Texte envoyé !"}}},
        {"sent, the tail cut",
         [](WindowMessages& m) {
             SendOutcome o;
             o.sentChars = 199;
             o.cutChars = 1;
             m.afterSend(o);
         },
         {{Kind::Confirm, "Texte envoyé ! Seuls les 199 premiers caractères ont été envoyés."}}},
        {"send failed",
         [](WindowMessages& m) {
             SendOutcome o;
             o.failure = failure(S::Write, ETIMEDOUT);
             m.whileOpen(o);
             m.afterSend(o);
         },
         {{Kind::Error, "Redémarrez , ou rebranchez la carte !"}}},
        {"send refused access",
         [](WindowMessages& m) {
             SendOutcome o;
             o.failure = failure(S::Open, EACCES);
             m.whileOpen(o);
         },
         {{Kind::Error, "Redémarrez , ou rebranchez la carte !" + kAccessLine}}},
        {"text read failed",
         [](WindowMessages& m) {
             TextRead o;
             o.failure = failure(S::Refused);
             m.whileOpen(o);
         },
         {{Kind::Error, "Ré-essayez, ou Débranchez & rebranchez la carte !"}}},
        {"clock read: write failed",
         [](WindowMessages& m) {
             ClockRead o;
             o.failure = failure(S::Write);
             m.whileOpen(o);
         },
         {{Kind::Error, "Erreur ecriture usb - Débranchez & rebranchez la carte !"}}},
        {"clock read: open refused",
         [](WindowMessages& m) {
             ClockRead o;
             o.failure = failure(S::Open, EACCES);
             m.whileOpen(o);
         },
         {{Kind::Error, "Erreur ecriture usb - Débranchez & rebranchez la carte !" + kAccessLine}}},
        {"clock read: no reply",
         [](WindowMessages& m) {
             ClockRead o;
             o.failure = failure(S::Read, ETIMEDOUT);
             m.whileOpen(o);
         },
         {{Kind::Error, "Erreur lecture usb - Débranchez & rebranchez la carte !"}}},
        {"clock read: refused",
         [](WindowMessages& m) {
             ClockRead o;
             o.failure = failure(S::Refused);
             m.whileOpen(o);
         },
         {{Kind::Error, "Erreur lecture usb - Débranchez & rebranchez la carte !"}}},
        {"clock read: time and date out of range",
         [](WindowMessages& m) {
             ClockRead o;
             o.timeValid = false;
             o.dateValid = false;
             m.whileOpen(o);
         },
         {{Kind::Error, "L\"Heure du montage est incorrecte !"},
          {Kind::Error, "La date du panneau est incorrecte !"}}},
        {"clock read: fine", [](WindowMessages& m) { m.whileOpen(ClockRead{}); }, {}},
        {"clock written",
         [](WindowMessages& m) {
             m.whileOpen(ClockWrite{});
             m.afterClockWrite(ClockWrite{});
         },
         {{Kind::Confirm, "Heure / Date / Alarme mises à jour !"}}},
        {"clock write failed",
         [](WindowMessages& m) {
             ClockWrite o;
             o.result = ClockWrite::Result::Failed;
             o.failure = failure(S::Read, ETIMEDOUT);
             m.whileOpen(o);
             m.afterClockWrite(o);
         },
         {{Kind::Error,
           "Erreur usb - Débranchez & rebranchez la carte !\nL'heure a pu être "
           "écrite : relisez-la."}}},
        {"clock write: no pipe",
         [](WindowMessages& m) {
             ClockWrite o;
             o.result = ClockWrite::Result::Failed;
             o.failure = failure(S::Open, ENODEV);
             m.whileOpen(o);
         },
         {{Kind::Error, "Erreur usb - Débranchez & rebranchez la carte !"}}},
        {"text read: another program holds the panel",
         [](WindowMessages& m) {
             TextRead o;
             o.failure = failure(S::Write, EBUSY);
             m.whileOpen(o);
         },
         {{Kind::Error,
           "Ré-essayez, ou Débranchez & rebranchez la carte !\nPanneau occupé par "
           "un autre programme : réessayez dans un instant."}}},
        {"send: the panel's lock unusable, named",
         [](WindowMessages& m) {
             SendOutcome o;
             o.failure = panelBusy(LockProblem{"/run/user/7/lumiboard-panel-usb-0.lock",
                                               LockProblem::Why::NotAFile, 0});
             m.whileOpen(o);
         },
         {{Kind::Error,
           "Redémarrez , ou rebranchez la carte !\nVerrou du panneau inutilisable : "
           "/run/user/7/lumiboard-panel-usb-0.lock (ce n'est pas un fichier ordinaire)."}}},
        {"clock unknown",
         [](WindowMessages& m) {
             ClockWrite o;
             o.result = ClockWrite::Result::Unknown;
             m.afterClockWrite(o);
         },
         {{Kind::Error,
           "Heure du panneau inconnue : lisez-la d'abord par le menu Lire > "
           "Heure/date/alarme !"}}},
        {"alarm entry not a number",
         [](WindowMessages& m) { m.alarmRefused(NotANumber{"ab"}); },
         {{Kind::ErrorReport, "'ab' is not a valid integer value."}}},
        {"alarm entry out of range",
         [](WindowMessages& m) { m.alarmRefused(OutOfRange{}); },
         {{Kind::Message, "Heure incorrecte !"}}},
    };
    return all;
}

}  // namespace

class TestWindowMessages : public QObject {
    Q_OBJECT
private slots:
    void dialogsForEachOutcome_data() {
        QTest::addColumn<int>("index");
        for (int i = 0; i < cases().size(); ++i) {
            QTest::newRow(cases()[i].name) << i;
        }
    }
    void dialogsForEachOutcome() {
        QFETCH(int, index);
        const Case& c = cases()[index];
        RecordingDialogs dialogs;
        WindowMessages messages(dialogs);
        c.tell(messages);
        QList<QPair<Kind, QString>> shown;
        for (const auto& s : dialogs.shown) {
            shown.append({s.kind, s.text});
        }
        QCOMPARE(shown, c.shown);
    }

    void alarmEntryDialog() {
        RecordingDialogs dialogs;
        dialogs.inputAnswers = {QStringLiteral("7:30")};
        WindowMessages messages(dialogs);
        QCOMPARE(messages.askAlarmEntry(), QStringLiteral("7:30"));
        QCOMPARE(dialogs.shown.size(), 1);
        QCOMPARE(dialogs.shown[0].kind, Kind::Input);
        QCOMPARE(dialogs.shown[0].title, QStringLiteral("Réveil"));
        QCOMPARE(dialogs.shown[0].text, QStringLiteral("Entrez l`heure de réveil... (ex. 12:34)"));
        QCOMPARE(dialogs.shown[0].maxLength, 255);
    }

    // The report says what the toolkit's own file reading says of the same file.
    void pictureFailureWords_data() {
        QTest::addColumn<QString>("make");  // "missing", "folder" or "garbage"
        QTest::newRow("missing") << "missing";
        QTest::newRow("a folder") << "folder";
        QTest::newRow("not a picture") << "garbage";
    }
    void pictureFailureWords() {
        QFETCH(QString, make);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("led_gris.bmp"));
        LedPictureFailure failure{LedPictureFailure::Kind::CannotOpen, path, ENOENT};
        QString expected;
        if (make == "garbage") {
            failure = {LedPictureFailure::Kind::NotValid, path, 0};
            expected = QStringLiteral("Bitmap image is not valid");
        } else {
            if (make == "folder") {
                QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("led_gris.bmp")));
                failure.error = EISDIR;
            }
            QFile file(path);
            QVERIFY(!file.open(QIODevice::ReadOnly));
            expected = QStringLiteral("Cannot open file \"%1\". %2").arg(path, file.errorString());
        }
        QCOMPARE(WindowMessages::pictureFailureText(failure), expected);
        RecordingDialogs dialogs;
        WindowMessages(dialogs).pictureFailed(failure);
        QCOMPARE(dialogs.texts(), QStringList{expected + u'.'});  // the report's full stop
    }

    void captionsAndSummary() {
        QCOMPARE(WindowMessages::alarmCaption(false, QStringLiteral("7:30")), "Activer");
        QCOMPARE(WindowMessages::alarmCaption(true, QStringLiteral("07:30")),
                 "désactiver sonnerie de 07:30");
        QCOMPARE(WindowMessages::clockSummary(PanelClock{9, 5, 0, 14, 7, 2009, 7, 5, 1}),
                 "Heure 9:5:0    Date 14/7/2009    Réveil activé 7:5");
    }
};

QTEST_GUILESS_MAIN(TestWindowMessages)
#include "tst_windowmessages.moc"
