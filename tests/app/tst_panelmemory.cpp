// The panel's memory (the whole text of our last send), the passing message
// built on it, and the nearest spelling of what the code page lacks.
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include "Cp1252.h"
#include "FakePanel.h"
#include "FakeSeams.h"
#include "PanelSession.h"
#include "TestTexts.h"
#include "TextAdmission.h"

namespace {

const QString kLong = letters(150);
const QString kOther = letters(150, u'A');

// A text read's reply showing text's first 62 characters.
Report showing(const QString& text) {
    Report reply{};
    reply[0] = 0xAA;
    const QByteArray bytes = cp1252::encode(text.left(62));
    std::memcpy(reply.data() + 2, bytes.constData(), std::size_t(bytes.size()));
    return reply;
}

// The text of the last send's chunks, as the panel took them.
QString lastSent(const FakePanel& panel) {
    QByteArray text;
    for (const Report& r : panel.received) {
        if (r[0] == 0x58) {
            if (r[1] == 0) {
                text.clear();
            }
            text += QByteArray(reinterpret_cast<const char*>(r.data() + 2), 62);
        }
    }
    return cp1252::decode(text.left(text.indexOf('\0') < 0 ? text.size() : text.indexOf('\0')));
}

}  // namespace

class TestPanelMemory : public QObject {
    Q_OBJECT
    FixedClock clock_;

    std::unique_ptr<PanelSession> sessionOn(FakePanel& panel, const QString& memory) {
        auto session = std::make_unique<PanelSession>(clock_);
        session->bind(panel.api());
        session->setMemoryFile(memory);
        return session;
    }

private slots:
    void wholeText_data() {
        QTest::addColumn<QByteArray>("record");  // "send": made by our send of kLong
        QTest::addColumn<QString>("shown");      // the panel's text
        QTest::addColumn<QString>("whole");
        QTest::addColumn<bool>("complete");
        QTest::addColumn<bool>("fromRecord");
        QTest::newRow("our send, read matches")
            << QByteArray("send") << kLong << kLong << true << true;
        QTest::newRow("another program's send since")
            << QByteArray("send") << kOther << kOther.left(62) << false << false;
        QTest::newRow("short text, no record") << QByteArray() << "Bonjour"
                                               << "Bonjour" << true << false;
        QTest::newRow("long text, no record")
            << QByteArray() << kLong << kLong.left(62) << false << false;
        const auto json = [](const QString& inside) {
            return QByteArray("{\"format\":1,\"text\":\"") + inside.toUtf8() + "\"}";
        };
        QTest::newRow("damaged: not JSON")
            << kLong.toUtf8() << kLong << kLong.left(62) << false << false;
        QTest::newRow("damaged: cut JSON")
            << json(kLong).left(80) << kLong << kLong.left(62) << false << false;
        QTest::newRow("damaged: other format")
            << QByteArray("{\"format\":2,\"text\":\"" + kLong.toUtf8() + "\"}") << kLong
            << kLong.left(62) << false << false;
        QTest::newRow("damaged: longer than a send")
            << json(kLong + kLong) << kLong << kLong.left(62) << false << false;
        QTest::newRow("damaged: a character no send carries")
            << json(kLong + QStringLiteral("Ł")) << kLong << kLong.left(62) << false << false;
        QTest::newRow("damaged: text not a string")
            << QByteArray("{\"format\":1,\"text\":5}") << kLong << kLong.left(62) << false << false;
    }
    void wholeText() {
        QFETCH(QByteArray, record);
        QFETCH(QString, shown);
        QFETCH(QString, whole);
        QFETCH(bool, complete);
        QFETCH(bool, fromRecord);
        QTemporaryDir dir;
        const QString file = panelMemoryPath(dir.path(), QString(), 0);
        FakePanel panel;
        const auto session = sessionOn(panel, file);
        if (record == "send") {
            QVERIFY(session->sendText(kLong).ok());
            QVERIFY(QFile::exists(file));
        } else if (!record.isEmpty()) {
            QFile damaged(file);
            QVERIFY(damaged.open(QIODevice::WriteOnly));
            damaged.write(record);
        }
        panel.reply = showing(shown);
        const WholeText read = session->readWholeText();
        QVERIFY(read.ok());
        QCOMPARE(read.text, whole);
        QCOMPARE(read.complete, complete);
        QCOMPARE(read.fromRecord, fromRecord);
    }

    // A send cut part way leaves the panel's text unknown; one refused at its
    // first chunk leaves it as it was.
    void failedSendAndTheRecord_data() {
        QTest::addColumn<int>("failWriteAt");
        QTest::addColumn<bool>("kept");
        QTest::newRow("first chunk refused") << 1 << true;
        QTest::newRow("cut at the second chunk") << 2 << false;
    }
    void failedSendAndTheRecord() {
        QFETCH(int, failWriteAt);
        QFETCH(bool, kept);
        QTemporaryDir dir;
        const QString file = panelMemoryPath(dir.path(), QString(), 0);
        FakePanel panel;
        const auto session = sessionOn(panel, file);
        QVERIFY(session->sendText(kLong).ok());
        panel.failWriteAt = panel.writes + failWriteAt;
        QVERIFY(!session->sendText(kOther).ok());
        QCOMPARE(PanelMemory(file).recorded().has_value(), kept);
    }

    // The earlier text goes back whole, verified, unless another send came.
    void passingMessage_data() {
        QTest::addColumn<QString>("atEnd");  // what the panel shows when the message passes
        QTest::addColumn<bool>("restored");
        QTest::newRow("still showing it: put back") << "Livraison" << true;
        QTest::newRow("another send since: it wins") << "Autre" << false;
    }
    void passingMessage() {
        QFETCH(QString, atEnd);
        QFETCH(bool, restored);
        QTemporaryDir dir;
        FakePanel panel;
        const auto session = sessionOn(panel, panelMemoryPath(dir.path(), QString(), 0));
        QVERIFY(session->sendText(kLong).ok());
        panel.reply = showing(kLong);
        const QString passing = QStringLiteral("Livraison");
        panel.echoText = true;  // the send's read-back sees what a panel would
        const PassingStart start = session->startPassing(passing);
        QVERIFY(start.ok());
        QCOMPARE(start.earlier.text, kLong);
        QCOMPARE(lastSent(panel), passing);
        panel.reply = showing(atEnd);
        const PassingEnd end = session->endPassing(passing, start.earlier);
        QVERIFY(end.now.ok());
        QCOMPARE(end.stillShown, restored);
        QCOMPARE(lastSent(panel), restored ? kLong : passing);
        if (restored) {
            QVERIFY(end.restored.verified());
        }
    }

    // The nearest spelling of what Windows-1252 lacks; what it has stays.
    void nearestSpelling_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("sent");
        const QList<std::pair<const char*, const char*>> rows = {
            {"Łódź “Ørsted”", "Lódz “Ørsted”"},
            {"Kraków", "Kraków"},
            {"Gdańsk", "Gdansk"},
            {"Wrocław", "Wroclaw"},
            {"Szczęście", "Szczescie"},
            {"Dvořák", "Dvorák"},
            {"Čapek", "Capek"},
            {"Brno – Ústí nad Labem", "Brno – Ústí nad Labem"},
            {"Erdős Pál", "Erdos Pál"},
            {"Győr", "Gyor"},
            {"Ştefan cel Mare", "Stefan cel Mare"},
            {"Timișoara", "Timisoara"},
            {"İstanbul, Ağrı", "Istanbul, Agri"},
            {"Đakovo", "Dakovo"},
            {"Šibenik", "Šibenik"},
            {"Ljubljana Črnuče", "Ljubljana Crnuce"},
            {"Vilnius Užupis", "Vilnius Užupis"},
            {"Rīga", "Riga"},
            {"Tallinn Õismäe", "Tallinn Õismäe"},
            {"Ærøskøbing", "Ærøskøbing"},
            {"Reykjavík Þingvellir", "Reykjavík Þingvellir"},
            {"naïve “quotes”…", "naïve “quotes”…"},
            {"prix : 12 €", "prix : 12 €"},
            {"co‐opération", "co-opération"},
            {"−5 °C", "-5 °C"},
            {"l’été", "l’été"},
            {"œuvre Œdipe", "œuvre Œdipe"},
            {"ﬁn du ﬂux", "fin du flux"},
            {"Straße", "Straße"},
            {"GROẞE", "GROSSE"},
            {"Ελλάδα", "Ellada"},
            {"Москва", "Moskva"},
            {"Київ", "Kiiv"},
            {"1′30″", "1'30\""},
            {"→ sortie", "-> sortie"},
            {"Livraison arrivée 📦", "Livraison arrivée ?"},
            {"Build ✅ passed", "Build ? passed"},
            {"½ tarif", "½ tarif"},
            {"Nguyễn", "Nguyen"},
            {"São Paulo – Côte d’Ivoire", "São Paulo – Côte d’Ivoire"},
        };
        for (const auto& [text, sent] : rows) {
            QTest::newRow(text) << QString::fromUtf8(text) << QString::fromUtf8(sent);
        }
    }
    void nearestSpelling() {
        QFETCH(QString, text);
        QFETCH(QString, sent);
        const TextAdmission admitted = admitText(text, Unsendable::Refuse, true);
        QVERIFY(std::holds_alternative<AdmittedText>(admitted));
        QCOMPARE(std::get<AdmittedText>(admitted).text, sent);
    }

    // Controls keep their policy under transliteration.
    void controlsUnderTransliteration() {
        const QString text = QStringLiteral("Łx\ty");
        const auto refused = admitText(text, Unsendable::Refuse, true);
        QVERIFY(std::holds_alternative<RefusedCharacter>(refused));
        QCOMPARE(std::get<RefusedCharacter>(refused).position, 3);
        QVERIFY(std::get<RefusedCharacter>(refused).control);
        const auto replaced = admitText(text, Unsendable::Replace, true);
        QCOMPARE(std::get<AdmittedText>(replaced).text, QStringLiteral("Lx?y"));
        QCOMPARE(std::get<AdmittedText>(replaced).transliterated, 1);
        QCOMPARE(std::get<AdmittedText>(replaced).replaced, 1);
    }
};

QTEST_GUILESS_MAIN(TestPanelMemory)
#include "tst_panelmemory.moc"
