// SPDX-License-Identifier: GPL-3.0-or-later
// Our declarations of sherpa-onnx's structs against the library's own header: the same offset and size
// for every field, the same size and alignment for every struct. A struct that differs makes the
// library read our memory wrongly, or past its end.
#include "platform/sherpa/SherpaOnnxApi.h"

#include <c-api.h>

#include <QTest>

#include <cstddef>

namespace {

struct Row
{
    const char* structName;
    const char* field;
    std::size_t ours;
    std::size_t theirs;
    std::size_t ourSize;
    std::size_t theirSize;
};

constexpr Row rows[] = {
#include "sherpa_layouts.inc"
};

} // namespace

class SherpaApiLayoutTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void everyFieldWhereTheLibraryReadsIt_data()
    {
        QTest::addColumn<qulonglong>("ours");
        QTest::addColumn<qulonglong>("theirs");
        QTest::addColumn<qulonglong>("ourSize");
        QTest::addColumn<qulonglong>("theirSize");
        for (const Row& row : rows)
            QTest::addRow("%s.%s", row.structName, row.field)
                << qulonglong(row.ours) << qulonglong(row.theirs) << qulonglong(row.ourSize)
                << qulonglong(row.theirSize);
    }

    void everyFieldWhereTheLibraryReadsIt()
    {
        QFETCH(qulonglong, ours);
        QFETCH(qulonglong, theirs);
        QFETCH(qulonglong, ourSize);
        QFETCH(qulonglong, theirSize);
        QCOMPARE(ours, theirs);
        QCOMPARE(ourSize, theirSize);
    }
};

QTEST_GUILESS_MAIN(SherpaApiLayoutTest)
#include "tst_sherpa_api_layout.moc"
