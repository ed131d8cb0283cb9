// SPDX-License-Identifier: GPL-3.0-or-later
#include "audio/AudioResampler.h"

#include <QTest>

#include <cmath>
#include <numbers>

using namespace parlune;

namespace {

const AudioFormat kMono16k{16000, 1};
const AudioFormat kStereo48k{48000, 2};

// `frames` frames of a sine of `hz` at half scale starting at frame `start`, the same on every channel
// unless `opposite` puts it in antiphase on the second channel.
AudioBufferPtr sine(AudioFormat format, quint32 frames, double hz, quint64 start = 0, bool opposite = false)
{
    auto buffer = std::make_shared<AudioBuffer>(format, frames);
    for (quint32 i = 0; i < frames * format.channelCount; ++i) {
        const double t = double(start + i / format.channelCount) / format.sampleRate;
        const float value = 0.5f * float(std::sin(2 * std::numbers::pi * hz * t));
        buffer->samples()[i] = opposite && i % 2 == 1 ? -value : value;
    }
    buffer->setFrameLength(frames);
    return buffer;
}

// One second of a tone in buffers of `chunk` frames, converted; nothing as soon as a buffer comes out
// in another format than the target's.
std::vector<float> convertInChunks(AudioResampler& resampler, AudioFormat format, quint32 chunk, double hz,
                                   bool opposite = false)
{
    std::vector<float> out;
    const auto total = quint32(format.sampleRate);
    for (quint32 done = 0; done < total; done += chunk) {
        if (auto converted =
                resampler.convert(sine(format, std::min(chunk, total - done), hz, done, opposite))) {
            if (converted->format() != resampler.targetFormat())
                return {};
            out.insert(out.end(), converted->samples(),
                       converted->samples() +
                           std::size_t(converted->frameLength()) * converted->format().channelCount);
        }
    }
    return out;
}

double rootMeanSquare(const float* samples, std::size_t count)
{
    double sum = 0;
    for (std::size_t i = 0; i < count; ++i)
        sum += double(samples[i]) * samples[i];
    return count ? std::sqrt(sum / double(count)) : 0;
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

    // The converter carries each buffer's tail into the next: cut into buffers, the stream comes out
    // as it does in one piece. A converter replaced between buffers would restart its filter.
    void streamConvertedInBuffersMatchesOnePiece()
    {
        AudioResampler whole(kMono16k);
        const auto reference = convertInChunks(whole, kStereo48k, 48000, 440);
        AudioResampler pieces(kMono16k);
        // Three frames give no output yet: the converter keeps them for the next buffer.
        QVERIFY(!pieces.convert(sine(kStereo48k, 3, 440)));
        const auto* converter = pieces.converter();
        QVERIFY(converter);
        std::vector<float> chunked;
        for (quint32 done = 3; done < 48000; done += 2048) {
            if (auto out = pieces.convert(sine(kStereo48k, std::min(2048u, 48000 - done), 440, done)))
                chunked.insert(chunked.end(), out->samples(), out->samples() + out->frameLength());
            QCOMPARE(pieces.converter(), converter);
        }
        QCOMPARE(chunked.size(), reference.size());
        for (std::size_t i = 0; i < reference.size(); ++i)
            QVERIFY2(std::abs(chunked[i] - reference[i]) < 1e-5f, qPrintable(QString::number(i)));
    }

    void newInputFormatReplacesTheConverter()
    {
        AudioResampler resampler(kMono16k);
        resampler.convert(sine(kStereo48k, 2048, 440));
        QCOMPARE(resampler.converter()->inputFormat(), kStereo48k);
        QVERIFY(resampler.convert(sine({44100, 1}, 4096, 440)));
        QCOMPARE(resampler.converter()->inputFormat(), (AudioFormat{44100, 1}));
    }

    void unconvertibleFormatsGiveNothingAndRetryLater()
    {
        AudioResampler resampler({16000, 2});
        for (const AudioFormat input : {AudioFormat{48000, 3}, AudioFormat{0, 1}}) {
            QVERIFY(!resampler.convert(std::make_shared<AudioBuffer>(input, 2048)));
            QVERIFY(!resampler.converter());
        }
        QVERIFY(resampler.convert(sine({48000, 1}, 4096, 440)));
    }

    // One second of a tone comes out as one second at the target rate (the rates reach the converter
    // the right way round), at its level. Down to one channel the channels are averaged: in
    // antiphase they cancel out.
    void toneKeepsItsLengthAndLevel_data()
    {
        QTest::addColumn<AudioFormat>("input");
        QTest::addColumn<AudioFormat>("target");
        QTest::addColumn<bool>("antiphase");
        QTest::addColumn<double>("rms");
        QTest::newRow("48 kHz stereo to 16 kHz mono") << kStereo48k << kMono16k << false << 0.3536;
        QTest::newRow("44.1 kHz mono to 16 kHz mono") << AudioFormat{44100, 1} << kMono16k << false << 0.3536;
        QTest::newRow("16 kHz stereo to 16 kHz mono") << AudioFormat{16000, 2} << kMono16k << false << 0.3536;
        QTest::newRow("16 kHz mono to 48 kHz stereo") << kMono16k << kStereo48k << false << 0.3536;
        QTest::newRow("48 kHz stereo in antiphase to 16 kHz mono") << kStereo48k << kMono16k << true << 0.0;
    }
    void toneKeepsItsLengthAndLevel()
    {
        QFETCH(AudioFormat, input);
        QFETCH(AudioFormat, target);
        QFETCH(bool, antiphase);
        QFETCH(double, rms);
        AudioResampler resampler(target);
        const auto out = convertInChunks(resampler, input, 2048, 1000, antiphase);
        std::vector<float> first;
        for (std::size_t i = 0; i < out.size(); i += target.channelCount) {
            first.push_back(out[i]);
            if (target.channelCount == 2)
                QCOMPARE(out[i + 1], out[i]);
        }
        // Less only what the converter still holds.
        QVERIFY2(first.size() > std::size_t(target.sampleRate * 0.96) &&
                     first.size() <= std::size_t(target.sampleRate),
                 qPrintable(QString::number(first.size())));
        // Half scale: RMS 0.354 (the start of the stream is a short fade-in).
        QVERIFY(std::abs(rootMeanSquare(first.data() + first.size() / 2, first.size() / 2) - rms) < 0.01);
    }
};

QTEST_GUILESS_MAIN(AudioResamplerTest)
#include "tst_audioresampler.moc"
