// SPDX-License-Identifier: GPL-3.0-or-later
#include "audio/AudioResampler.h"

#include <QTest>

#include <cmath>
#include <numbers>

using namespace parlune;

namespace {

const AudioFormat kMono16k{16000, 1};
const AudioFormat kStereo48k{48000, 2};

// `frames` frames of a sine of `hz` at half scale starting at frame `start`, the same on every channel.
AudioBufferPtr sine(AudioFormat format, quint32 frames, double hz, quint64 start = 0)
{
    auto buffer = std::make_shared<AudioBuffer>(format, frames);
    for (quint32 i = 0; i < frames * format.channelCount; ++i) {
        const double t = double(start + i / format.channelCount) / format.sampleRate;
        buffer->samples()[i] = 0.5f * float(std::sin(2 * std::numbers::pi * hz * t));
    }
    buffer->setFrameLength(frames);
    return buffer;
}

// The second half of one second of a tone in `input`, converted by `resampler` in 2048-frame buffers to
// 16 kHz mono (the start of the stream is a short fade-in); nothing if the length or format is wrong.
std::vector<float> convertedTone(AudioResampler& resampler, AudioFormat input)
{
    std::vector<float> out;
    const quint32 second = quint32(input.sampleRate);
    for (quint32 done = 0; done < second; done += 2048) {
        if (auto converted = resampler.convert(sine(input, std::min(2048u, second - done), 1000, done))) {
            if (converted->format() != kMono16k)
                return {};
            out.insert(out.end(), converted->samples(), converted->samples() + converted->frameLength());
        }
    }
    // Less only what the converter still holds.
    if (out.size() <= 16000 * 0.96 || out.size() > 16000)
        return {};
    return {out.begin() + std::ptrdiff_t(out.size() / 2), out.end()};
}

double rootMeanSquare(const std::vector<float>& samples)
{
    double sum = 0;
    for (const float sample : samples)
        sum += double(sample) * sample;
    return std::sqrt(sum / double(samples.size()));
}

} // namespace

class AudioResamplerTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // One second comes out as one second at 16 kHz (the rates reach the converter the right way round, and
    // one converter carries each buffer's tail into the next), at its level: half scale, RMS 0.354. A
    // microphone that comes back in another format gets a converter of its own; one whose format cannot be
    // converted gives nothing.
    void toneKeepsItsLengthAndLevel()
    {
        AudioResampler resampler(kMono16k);
        for (const AudioFormat input : {kStereo48k, AudioFormat{44100, 1}}) {
            const auto tone = convertedTone(resampler, input);
            QVERIFY(!tone.empty());
            QVERIFY(std::abs(rootMeanSquare(tone) - 0.3536) < 0.01);
        }
        for (const AudioFormat input : {AudioFormat{48000, 3}, AudioFormat{0, 1}})
            QVERIFY(!resampler.convert(std::make_shared<AudioBuffer>(input, 2048)));
    }
};

QTEST_GUILESS_MAIN(AudioResamplerTest)
#include "tst_audioresampler.moc"
