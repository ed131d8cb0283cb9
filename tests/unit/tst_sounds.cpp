// SPDX-License-Identifier: GPL-3.0-or-later
#include "system/Sounds.h"

#include <QTest>

#include <algorithm>
#include <cmath>

using namespace parlune;

class SoundsTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cuesAreShortClickFreeAndAtTheirVolume_data()
    {
        QTest::addColumn<bool>("start");
        QTest::addColumn<double>("volume");
        QTest::newRow("start") << true << 0.35;
        QTest::newRow("end") << false << 0.3;
    }

    void cuesAreShortClickFreeAndAtTheirVolume()
    {
        QFETCH(bool, start);
        QFETCH(double, volume);
        const std::vector<float> samples = start ? Sounds::startSamples() : Sounds::endSamples();

        const double seconds = double(samples.size()) / Sound::sampleRate;
        QVERIFY2(seconds > 0.05 && seconds < 0.3, qPrintable(QString::number(seconds)));
        float peak = 0;
        for (float sample : samples)
            peak = std::max(peak, std::abs(sample));
        QVERIFY(std::abs(peak - volume) < 1e-4);
        // Both ends rise from and fall to silence: a sound that starts or stops mid-wave clicks.
        QCOMPARE(samples.front(), 0.0f);
        QCOMPARE(samples.back(), 0.0f);
        const std::size_t edge = Sound::sampleRate / 2000;
        for (std::size_t i = 0; i < edge; ++i) {
            QVERIFY(std::abs(samples[i]) < 0.3 * volume);
            QVERIFY(std::abs(samples[samples.size() - 1 - i]) < 0.3 * volume);
        }
    }
};

QTEST_GUILESS_MAIN(SoundsTest)
#include "tst_sounds.moc"
