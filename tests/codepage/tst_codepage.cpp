#include <QtTest>

#include <iconv.h>

#include <cerrno>

#include "Cp1252.h"

namespace {

// Windows-1252 as the C library's iconv reads it: an independent table. The
// five bytes it leaves undefined come back as nothing.
class Iconv1252 {
public:
    Iconv1252() : cd_(iconv_open("UTF-16LE", "WINDOWS-1252")) {}
    ~Iconv1252() {
        if (ok()) {
            iconv_close(cd_);
        }
    }
    Iconv1252(const Iconv1252&) = delete;
    Iconv1252& operator=(const Iconv1252&) = delete;

    bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

    std::optional<char16_t> decode(unsigned char byte) {
        char in[1] = {static_cast<char>(byte)};
        char out[4] = {};
        char* inPtr = in;
        char* outPtr = out;
        std::size_t inLeft = 1;
        std::size_t outLeft = sizeof out;
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        if (iconv(cd_, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<std::size_t>(-1) ||
            outLeft != 2) {
            return std::nullopt;
        }
        return static_cast<char16_t>(static_cast<unsigned char>(out[0]) |
                                     static_cast<unsigned char>(out[1]) << 8);
    }

private:
    iconv_t cd_;
};

}  // namespace

class TestCodepage : public QObject {
    Q_OBJECT
private slots:
    // Every byte decodes as the C library says, and encodes back to itself.
    void everyByteAgainstIconv() {
        Iconv1252 reference;
        if (!reference.ok()) {
            QSKIP("iconv knows no WINDOWS-1252 here");
        }
        int undefined = 0;
        for (int byte = 0; byte < 256; ++byte) {
            const char16_t got = cp1252::decodeByte(static_cast<unsigned char>(byte)).unicode();
            const std::optional<char16_t> want = reference.decode(static_cast<unsigned char>(byte));
            if (want) {
                QVERIFY2(got == *want, qPrintable(QStringLiteral("byte %1: U+%2, iconv U+%3")
                                                      .arg(byte, 2, 16)
                                                      .arg(int(got), 4, 16)
                                                      .arg(int(*want), 4, 16)));
            } else {
                // Undefined in the code page: the C1 control of the same value.
                ++undefined;
                QCOMPARE(int(got), byte);
            }
            QCOMPARE(cp1252::encodeChar(got), byte);
        }
        QCOMPARE(undefined, 5);
    }

    // Characters outside the code page: one "?" each, surrogate pairs included.
    void outsideTheCodePage_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("euro and accents")
            << QStringLiteral("€ été") << QByteArray("\x80 \xE9t\xE9");
        QTest::newRow("arrow") << QStringLiteral("a→b") << QByteArray("a?b");
        QTest::newRow("emoji, one character") << QStringLiteral("a😀b") << QByteArray("a?b");
        QTest::newRow("lone surrogate") << QString(QChar(0xD800)) << QByteArray("?");
    }
    void outsideTheCodePage() {
        QFETCH(QString, text);
        QFETCH(QByteArray, bytes);
        QCOMPARE(cp1252::encode(text), bytes);
        QCOMPARE(cp1252::encode(cp1252::decode(bytes)), bytes);
    }
};

QTEST_GUILESS_MAIN(TestCodepage)
#include "tst_codepage.moc"
