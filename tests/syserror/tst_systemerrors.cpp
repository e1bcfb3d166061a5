// System error reasons in French, from the errno values a file or the panel gives.
#include <QSet>
#include <QtTest>

#include <cerrno>
#include <clocale>
#include <cstring>

#include "SystemErrors.h"

class TestSystemErrors : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { std::setlocale(LC_ALL, "C"); }

    // None comes out as the system's English text, each says its own thing.
    void frenchReasons() {
        const QList<int> errors{ENOENT, EACCES,       EISDIR, ENOTDIR,   ENOSPC, EROFS,
                                EFBIG,  EIO,          EPIPE,  ENXIO,     EINTR,  ELOOP,
                                ENOMEM, ENAMETOOLONG, EBADF,  EOVERFLOW, ENOTSUP};
        QSet<QString> seen;
        for (const int e : errors) {
            const QString reason = systemErrorReason(e);
            QVERIFY2(!reason.isEmpty(), qPrintable(QString::number(e)));
            QVERIFY2(reason != QString::fromLocal8Bit(std::strerror(e)), qPrintable(reason));
            seen.insert(reason);
        }
        QCOMPARE(seen.size(), errors.size());
        // One the table does not know still says which it was.
        QVERIFY(systemErrorReason(EPROTO).contains(QString::number(EPROTO)));
    }
};

QTEST_GUILESS_MAIN(TestSystemErrors)
#include "tst_systemerrors.moc"
