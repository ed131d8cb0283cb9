// SPDX-License-Identifier: GPL-3.0-or-later
#include "audio/AudioResampler.h"

#include <QTest>

#include <cmath>
#include <numbers>

using namespace parlune;

namespace {

const AudioFormat kMono16k{16000, 1};
const AudioFormat kStereo48k{48000, 2};

// `frames` frames of a sine of `hz` starting at frame `start`, the same on every channel unless
// `opposite` puts it in antiphase on the second channel.
AudioBufferPtr sine(AudioFormat format, quint32 frames, double hz, quint64 start = 0, float amplitude = 0.5f,
                    bool opposite = false)
{
    auto buffer = std::make_shared<AudioBuffer>(format, frames);
    for (quint32 i = 0; i < frames; ++i) {
        const float value =
            amplitude * float(std::sin(2 * std::numbers::pi * hz * double(start + i) / format.sampleRate));
        for (quint32 c = 0; c < format.channelCount; ++c)
            buffer->samples()[std::size_t(i) * format.channelCount + c] =
                (opposite && c == 1) ? -value : value;
    }
    buffer->setFrameLength(frames);
    return buffer;
}

std::vector<float> convertInChunks(AudioResampler& resampler, AudioFormat format, quint32 total,
                                   quint32 chunk, double hz)
{
    std::vector<float> out;
    for (quint32 done = 0; done < total; done += chunk) {
        const quint32 frames = std::min(chunk, total - done);
        if (auto converted = resampler.convert(sine(format, frames, hz, done)))
            out.insert(out.end(), converted->samples(),
                       converted->samples() +
                           std::size_t(converted->frameLength()) * converted->format().channelCount);
    }
    return out;
}

double rms(const float* samples, std::size_t count)
{
    double sum = 0;
    for (std::size_t i = 0; i < count; ++i)
        sum += double(samples[i]) * samples[i];
    return count ? std::sqrt(sum / double(count)) : 0;
}

// Power of `hz` in `samples` (Goertzel), normalised by the length.
double power(const std::vector<float>& samples, double hz, double rate)
{
    const double w = 2 * std::numbers::pi * hz / rate;
    double s1 = 0, s2 = 0;
    for (float x : samples) {
        const double s0 = x + 2 * std::cos(w) * s1 - s2;
        s2 = s1;
        s1 = s0;
    }
    return (s1 * s1 + s2 * s2 - 2 * std::cos(w) * s1 * s2) / double(samples.size() * samples.size());
}

} // namespace

class AudioResamplerTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void bufferInTargetFormatIsReturnedItself()
    {
        AudioResampler resampler(kMono16k);
        auto buffer = sine(kMono16k, 2048, 440);
        QCOMPARE(resampler.convert(buffer), buffer);
        QVERIFY(!resampler.converter());
    }

    void outputCapacity_data()
    {
        QTest::addColumn<double>("inputRate");
        QTest::addColumn<double>("targetRate");
        QTest::addColumn<quint32>("frames");
        QTest::addColumn<quint32>("capacity");
        QTest::newRow("48 kHz to 16 kHz") << 48000.0 << 16000.0 << 2048u << 1706u;
        QTest::newRow("44.1 kHz to 16 kHz, truncated") << 44100.0 << 16000.0 << 2048u << 743u + 1024u;
        QTest::newRow("16 kHz to 48 kHz") << 16000.0 << 48000.0 << 2048u << 7168u;
        QTest::newRow("no frames") << 48000.0 << 16000.0 << 0u << 1024u;
    }
    void outputCapacity()
    {
        QFETCH(double, inputRate);
        QFETCH(double, targetRate);
        QFETCH(quint32, frames);
        QFETCH(quint32, capacity);
        QCOMPARE(AudioResampler::outputCapacity(inputRate, targetRate, frames),
                 std::optional<quint32>(capacity));
    }

    void capacityBeyond32BitsIsRefused()
    {
        QCOMPARE(AudioResampler::outputCapacity(1, 48000, 1u << 20), std::nullopt);
        AudioResampler resampler({48000 * 4096.0, 1});
        QVERIFY(!resampler.convert(sine({1, 1}, 1u << 20, 0)));
    }

    void convertedBufferHasTheTargetFormatAndCapacity()
    {
        AudioResampler resampler(kMono16k);
        AudioBufferPtr out;
        for (int i = 0; i < 4 && !out; ++i)
            out = resampler.convert(sine(kStereo48k, 2048, 440, quint64(i) * 2048));
        QVERIFY(out);
        QCOMPARE(out->format(), kMono16k);
        QCOMPARE(out->frameCapacity(), 1706u);
        QVERIFY(out->frameLength() > 0 && out->frameLength() <= 1706u);
    }

    // The converter carries each buffer's tail into the next: cut into buffers, the stream comes out
    // as it does in one piece. A converter replaced between buffers would restart its filter.
    void streamConvertedInBuffersMatchesOnePiece()
    {
        AudioResampler whole(kMono16k);
        const auto reference = convertInChunks(whole, kStereo48k, 48000, 48000, 440);
        AudioResampler pieces(kMono16k);
        const auto first = convertInChunks(pieces, kStereo48k, 2048, 2048, 440);
        QVERIFY(!first.empty());
        const auto* converter = pieces.converter();
        auto chunked = first;
        for (quint32 done = 2048; done < 48000; done += 2048) {
            if (auto out = pieces.convert(sine(kStereo48k, std::min(2048u, 48000 - done), 440, done)))
                chunked.insert(chunked.end(), out->samples(), out->samples() + out->frameLength());
            QCOMPARE(pieces.converter(), converter);
        }
        QCOMPARE(chunked.size(), reference.size());
        for (std::size_t i = 0; i < reference.size(); ++i)
            QVERIFY2(std::abs(chunked[i] - reference[i]) < 1e-5f, qPrintable(QString::number(i)));
        // About a third of the input, less what the converter still holds.
        QVERIFY(reference.size() > 15500 && reference.size() <= 16000);
    }

    void newInputFormatReplacesTheConverter()
    {
        AudioResampler resampler(kMono16k);
        resampler.convert(sine(kStereo48k, 2048, 440));
        QCOMPARE(resampler.converter()->inputFormat(), kStereo48k);
        const AudioFormat other{44100, 1};
        QVERIFY(resampler.convert(sine(other, 4096, 440)));
        QCOMPARE(resampler.converter()->inputFormat(), other);
    }

    void emptyOutputGivesNothingAndKeepsTheConverter()
    {
        AudioResampler resampler(kMono16k);
        QVERIFY(!resampler.convert(sine(kStereo48k, 3, 440)));
        const auto* converter = resampler.converter();
        QVERIFY(converter);
        auto next = resampler.convert(sine(kStereo48k, 4096, 440, 3));
        QVERIFY(next && next->frameLength() > 0);
        QCOMPARE(resampler.converter(), converter);
    }

    void unconvertibleFormatsGiveNothingAndRetryLater_data()
    {
        QTest::addColumn<AudioFormat>("input");
        QTest::newRow("three channels to two") << AudioFormat{48000, 3};
        QTest::newRow("no rate") << AudioFormat{0, 1};
    }
    void unconvertibleFormatsGiveNothingAndRetryLater()
    {
        QFETCH(AudioFormat, input);
        AudioResampler resampler({16000, 2});
        QVERIFY(!resampler.convert(std::make_shared<AudioBuffer>(input, 2048)));
        QVERIFY(!resampler.converter());
        QVERIFY(resampler.convert(sine({48000, 1}, 4096, 440)));
        QVERIFY(resampler.converter());
    }

    // A tone well inside the band keeps its frequency and level through the rate change: the rates
    // reach the converter the right way round.
    void toneKeepsItsPitchAndLevel_data()
    {
        QTest::addColumn<AudioFormat>("input");
        QTest::addColumn<AudioFormat>("target");
        QTest::newRow("48 kHz stereo to 16 kHz mono") << kStereo48k << kMono16k;
        QTest::newRow("44.1 kHz mono to 16 kHz mono") << AudioFormat{44100, 1} << kMono16k;
        QTest::newRow("8 kHz mono to 16 kHz mono") << AudioFormat{8000, 1} << kMono16k;
        QTest::newRow("16 kHz stereo to 16 kHz mono") << AudioFormat{16000, 2} << kMono16k;
        QTest::newRow("16 kHz mono to 48 kHz stereo") << kMono16k << kStereo48k;
    }
    void toneKeepsItsPitchAndLevel()
    {
        QFETCH(AudioFormat, input);
        QFETCH(AudioFormat, target);
        AudioResampler resampler(target);
        const auto out = convertInChunks(resampler, input, quint32(input.sampleRate), 2048, 1000);
        std::vector<float> first;
        for (std::size_t i = 0; i < out.size(); i += target.channelCount)
            first.push_back(out[i]);
        QVERIFY(first.size() > std::size_t(target.sampleRate * 0.9));
        QVERIFY(power(first, 1000, target.sampleRate) > 100 * power(first, 1500, target.sampleRate));
        // 0.5 amplitude: RMS 0.354 (the start of the stream is a short fade-in).
        QVERIFY(std::abs(rms(first.data() + first.size() / 2, first.size() / 2) - 0.3536) < 0.01);
        if (target.channelCount == 2) {
            for (std::size_t i = 0; i < out.size(); i += 2)
                QCOMPARE(out[i + 1], out[i]);
        }
    }

    void downMixAveragesChannels()
    {
        AudioResampler resampler(kMono16k);
        const auto inPhase = convertInChunks(resampler, kStereo48k, 48000, 2048, 500);
        QVERIFY(rms(inPhase.data() + 8000, 8000) > 0.3);
        AudioResampler cancelled(kMono16k);
        std::vector<float> out;
        for (quint32 done = 0; done < 48000; done += 2048)
            if (auto b = cancelled.convert(sine(kStereo48k, 2048, 500, done, 0.5f, true)))
                out.insert(out.end(), b->samples(), b->samples() + b->frameLength());
        QVERIFY(rms(out.data(), out.size()) < 1e-4);
    }
};

QTEST_GUILESS_MAIN(AudioResamplerTest)
#include "tst_audioresampler.moc"
