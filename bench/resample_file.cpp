// SPDX-License-Identifier: GPL-3.0-or-later
// Converts a raw file of 48 kHz stereo 32-bit float to 16 kHz mono as the capture does, 2048 frames
// at a time, so that a whole-command timing can set it beside sox on the same file:
//
//   parlune_resample_file IN.f32 OUT.f32
#include "audio/AudioResampler.h"

#include <cstdio>
#include <memory>

using namespace parlune;

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s IN.f32 OUT.f32\n", argv[0]);
        return 2;
    }
    std::unique_ptr<FILE, int (*)(FILE*)> in(std::fopen(argv[1], "rb"), &std::fclose);
    std::unique_ptr<FILE, int (*)(FILE*)> out(std::fopen(argv[2], "wb"), &std::fclose);
    if (!in || !out) {
        std::perror("parlune_resample_file");
        return 1;
    }
    const AudioFormat input{48000, 2};
    AudioResampler resampler({16000, 1});
    constexpr quint32 kFrames = 2048;
    // The input buffer is refilled each time: the resampler hands out buffers of its own.
    auto buffer = std::make_shared<AudioBuffer>(input, kFrames);
    for (;;) {
        const std::size_t frames =
            std::fread(buffer->samples(), sizeof(float) * input.channelCount, kFrames, in.get());
        if (frames == 0)
            break;
        buffer->setFrameLength(quint32(frames));
        if (const auto converted = resampler.convert(buffer))
            std::fwrite(converted->samples(), sizeof(float), converted->frameLength(), out.get());
    }
    return 0;
}
