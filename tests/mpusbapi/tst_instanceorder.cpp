// Instance numbers follow where panels sit, not the order the bus lists them.
#include <QtTest>

#include <algorithm>

#include "Device.h"

using mpusb::Place;

Q_DECLARE_METATYPE(std::vector<Place>)

class InstanceOrderTest : public QObject {
    Q_OBJECT

private slots:
    void numberedByBusThenPortPath_data() {
        QTest::addColumn<std::vector<Place>>("sorted");
        QTest::newRow("ports of one hub") << std::vector<Place>{{1, {1}}, {1, {2}}, {1, {3}}};
        QTest::newRow("bus before ports") << std::vector<Place>{{1, {9}}, {2, {1}}, {3, {1}}};
        // Ports count as numbers: "1-10" comes after "1-2".
        QTest::newRow("two-digit port") << std::vector<Place>{{1, {2}}, {1, {10}}};
        QTest::newRow("behind a hub")
            << std::vector<Place>{{1, {1}}, {1, {1, 2}}, {1, {1, 4, 1}}, {1, {2}}};
        QTest::newRow("no port path") << std::vector<Place>{{1, {}}, {1, {1}}};
    }
    void numberedByBusThenPortPath() {
        QFETCH(std::vector<Place>, sorted);
        // Every listing order gives the same numbers.
        std::vector<Place> listed = sorted;
        std::sort(listed.begin(), listed.end());
        do {
            const std::vector<std::size_t> order = mpusb::instanceOrder(listed);
            QCOMPARE(order.size(), sorted.size());
            for (std::size_t n = 0; n < order.size(); ++n) {
                QVERIFY(listed[order[n]] == sorted[n]);
            }
        } while (std::next_permutation(listed.begin(), listed.end()));
    }
};

QTEST_GUILESS_MAIN(InstanceOrderTest)
#include "tst_instanceorder.moc"
