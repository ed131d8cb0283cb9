// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

// The part of sherpa-onnx 1.13.4's C interface the program calls, declared here: the library is opened
// with dlopen and ships without a header. The library reads each configuration struct whole, so every
// struct below has every field of that version, in its order, up to the last one, whether the program
// sets it or not (zeroed, a field means "default"); tst_sherpa_layout checks them. Handles are opaque.
// Strings are UTF-8; paths are read during the call that takes them.
namespace parlune::sherpa {

struct SherpaOnnxFeatureConfig
{
    std::int32_t sample_rate;
    std::int32_t feature_dim;
};

struct SherpaOnnxHomophoneReplacerConfig
{
    const char* dict_dir;
    const char* lexicon;
    const char* rule_fsts;
};

struct SherpaOnnxOfflineTransducerModelConfig
{
    const char* encoder;
    const char* decoder;
    const char* joiner;
};

struct SherpaOnnxOfflineParaformerModelConfig
{
    const char* model;
};

struct SherpaOnnxOfflineNemoEncDecCtcModelConfig
{
    const char* model;
};

struct SherpaOnnxOfflineWhisperModelConfig
{
    const char* encoder;
    const char* decoder;
    const char* language;
    const char* task;
    std::int32_t tail_paddings;
    std::int32_t enable_token_timestamps;
    std::int32_t enable_segment_timestamps;
};

struct SherpaOnnxOfflineCanaryModelConfig
{
    const char* encoder;
    const char* decoder;
    const char* src_lang;
    const char* tgt_lang;
    std::int32_t use_pnc;
};

struct SherpaOnnxOfflineCohereTranscribeModelConfig
{
    const char* encoder;
    const char* decoder;
    const char* language;
    std::int32_t use_punct;
    std::int32_t use_itn;
};

struct SherpaOnnxOfflineFireRedAsrModelConfig
{
    const char* encoder;
    const char* decoder;
};

struct SherpaOnnxOfflineFireRedAsrCtcModelConfig
{
    const char* model;
};

struct SherpaOnnxOfflineMoonshineModelConfig
{
    const char* preprocessor;
    const char* encoder;
    const char* uncached_decoder;
    const char* cached_decoder;
    const char* merged_decoder;
};

struct SherpaOnnxOfflineTdnnModelConfig
{
    const char* model;
};

struct SherpaOnnxOfflineLMConfig
{
    const char* model;
    float scale;
};

struct SherpaOnnxOfflineSenseVoiceModelConfig
{
    const char* model;
    const char* language;
    std::int32_t use_itn;
};

struct SherpaOnnxOfflineDolphinModelConfig
{
    const char* model;
};

struct SherpaOnnxOfflineZipformerCtcModelConfig
{
    const char* model;
};

struct SherpaOnnxOfflineWenetCtcModelConfig
{
    const char* model;
};

struct SherpaOnnxOfflineOmnilingualAsrCtcModelConfig
{
    const char* model;
};

struct SherpaOnnxOfflineFunASRNanoModelConfig
{
    const char* encoder_adaptor;
    const char* llm;
    const char* embedding;
    const char* tokenizer;
    const char* system_prompt;
    const char* user_prompt;
    std::int32_t max_new_tokens;
    float temperature;
    float top_p;
    std::int32_t seed;
    const char* language;
    std::int32_t itn;
    const char* hotwords;
};

struct SherpaOnnxOfflineQwen3ASRModelConfig
{
    const char* conv_frontend;
    const char* encoder;
    const char* decoder;
    const char* tokenizer;
    std::int32_t max_total_len;
    std::int32_t max_new_tokens;
    float temperature;
    float top_p;
    std::int32_t seed;
    const char* hotwords;
};

struct SherpaOnnxOfflineMedAsrCtcModelConfig
{
    const char* model;
};

// One member per family of models; the program fills `transducer` and the common fields only.
struct SherpaOnnxOfflineModelConfig
{
    SherpaOnnxOfflineTransducerModelConfig transducer;
    SherpaOnnxOfflineParaformerModelConfig paraformer;
    SherpaOnnxOfflineNemoEncDecCtcModelConfig nemo_ctc;
    SherpaOnnxOfflineWhisperModelConfig whisper;
    SherpaOnnxOfflineTdnnModelConfig tdnn;
    const char* tokens;
    std::int32_t num_threads;
    // Non-zero: the library prints its configuration and the model's metadata on standard error.
    std::int32_t debug;
    const char* provider;
    const char* model_type;
    const char* modeling_unit;
    const char* bpe_vocab;
    const char* telespeech_ctc;
    SherpaOnnxOfflineSenseVoiceModelConfig sense_voice;
    SherpaOnnxOfflineMoonshineModelConfig moonshine;
    SherpaOnnxOfflineFireRedAsrModelConfig fire_red_asr;
    SherpaOnnxOfflineDolphinModelConfig dolphin;
    SherpaOnnxOfflineZipformerCtcModelConfig zipformer_ctc;
    SherpaOnnxOfflineCanaryModelConfig canary;
    SherpaOnnxOfflineWenetCtcModelConfig wenet_ctc;
    SherpaOnnxOfflineOmnilingualAsrCtcModelConfig omnilingual;
    SherpaOnnxOfflineMedAsrCtcModelConfig medasr;
    SherpaOnnxOfflineFunASRNanoModelConfig funasr_nano;
    SherpaOnnxOfflineFireRedAsrCtcModelConfig fire_red_asr_ctc;
    SherpaOnnxOfflineQwen3ASRModelConfig qwen3_asr;
    SherpaOnnxOfflineCohereTranscribeModelConfig cohere_transcribe;
};

struct SherpaOnnxOfflineRecognizerConfig
{
    SherpaOnnxFeatureConfig feat_config;
    SherpaOnnxOfflineModelConfig model_config;
    SherpaOnnxOfflineLMConfig lm_config;
    const char* decoding_method;
    std::int32_t max_active_paths;
    const char* hotwords_file;
    float hotwords_score;
    const char* rule_fsts;
    const char* rule_fars;
    float blank_penalty;
    SherpaOnnxHomophoneReplacerConfig hr;
};

// Owned by the library until SherpaOnnxDestroyOfflineRecognizerResult; the arrays may be null.
struct SherpaOnnxOfflineRecognizerResult
{
    const char* text;
    float* timestamps;
    std::int32_t count;
    const char* tokens;
    const char* const* tokens_arr;
    const char* json;
    const char* lang;
    const char* emotion;
    const char* event;
    float* durations;
    float* ys_log_probs;
    const float* segment_timestamps;
    const float* segment_durations;
    const char* segment_texts;
    const char* const* segment_texts_arr;
    std::int32_t segment_count;
};

struct SherpaOnnxSileroVadModelConfig
{
    const char* model;
    // Probability above which a window is speech.
    float threshold;
    // Seconds of silence that close a segment.
    float min_silence_duration;
    // Segments shorter than this, in seconds, are dropped.
    float min_speech_duration;
    std::int32_t window_size;
    // Seconds; past it the detector demands more certainty of speech, to find a place to cut.
    float max_speech_duration;
};

struct SherpaOnnxTenVadModelConfig
{
    const char* model;
    float threshold;
    float min_silence_duration;
    float min_speech_duration;
    std::int32_t window_size;
    float max_speech_duration;
};

struct SherpaOnnxVadModelConfig
{
    SherpaOnnxSileroVadModelConfig silero_vad;
    std::int32_t sample_rate;
    std::int32_t num_threads;
    const char* provider;
    std::int32_t debug;
    SherpaOnnxTenVadModelConfig ten_vad;
};

// A copy owned by the caller until SherpaOnnxDestroySpeechSegment. `start` counts samples from the
// beginning of the stream (or the last reset).
struct SherpaOnnxSpeechSegment
{
    std::int32_t start;
    float* samples;
    std::int32_t n;
};

struct SherpaOnnxOfflineRecognizer;
struct SherpaOnnxOfflineStream;
struct SherpaOnnxVoiceActivityDetector;

extern "C" {
using SherpaOnnxGetVersionStr_t = const char* (*)();

// Null when a file is missing or the configuration is refused. A model whose files exist but lack the
// metadata the library expects ends the process; a damaged ONNX file aborts it.
using SherpaOnnxCreateOfflineRecognizer_t =
    const SherpaOnnxOfflineRecognizer* (*)(const SherpaOnnxOfflineRecognizerConfig* config);
using SherpaOnnxDestroyOfflineRecognizer_t = void (*)(const SherpaOnnxOfflineRecognizer* recognizer);
using SherpaOnnxCreateOfflineStream_t =
    const SherpaOnnxOfflineStream* (*)(const SherpaOnnxOfflineRecognizer* recognizer);
using SherpaOnnxDestroyOfflineStream_t = void (*)(const SherpaOnnxOfflineStream* stream);
// Once per stream: the whole utterance, resampled by the library if its rate is not the model's.
using SherpaOnnxAcceptWaveformOffline_t = void (*)(const SherpaOnnxOfflineStream* stream,
                                                   std::int32_t sampleRate, const float* samples,
                                                   std::int32_t n);
using SherpaOnnxDecodeOfflineStream_t = void (*)(const SherpaOnnxOfflineRecognizer* recognizer,
                                                 const SherpaOnnxOfflineStream* stream);
using SherpaOnnxGetOfflineStreamResult_t =
    const SherpaOnnxOfflineRecognizerResult* (*)(const SherpaOnnxOfflineStream* stream);
using SherpaOnnxDestroyOfflineRecognizerResult_t = void (*)(const SherpaOnnxOfflineRecognizerResult* result);

using SherpaOnnxCreateVoiceActivityDetector_t =
    const SherpaOnnxVoiceActivityDetector* (*)(const SherpaOnnxVadModelConfig* config, float bufferSeconds);
using SherpaOnnxDestroyVoiceActivityDetector_t = void (*)(const SherpaOnnxVoiceActivityDetector* vad);
using SherpaOnnxVoiceActivityDetectorAcceptWaveform_t = void (*)(const SherpaOnnxVoiceActivityDetector* vad,
                                                                 const float* samples, std::int32_t n);
// 1 when no finished segment is waiting.
using SherpaOnnxVoiceActivityDetectorEmpty_t = std::int32_t (*)(const SherpaOnnxVoiceActivityDetector* vad);
// 1 while the audio given so far ends inside speech.
using SherpaOnnxVoiceActivityDetectorDetected_t =
    std::int32_t (*)(const SherpaOnnxVoiceActivityDetector* vad);
using SherpaOnnxVoiceActivityDetectorFront_t =
    const SherpaOnnxSpeechSegment* (*)(const SherpaOnnxVoiceActivityDetector* vad);
using SherpaOnnxVoiceActivityDetectorPop_t = void (*)(const SherpaOnnxVoiceActivityDetector* vad);
using SherpaOnnxVoiceActivityDetectorClear_t = void (*)(const SherpaOnnxVoiceActivityDetector* vad);
using SherpaOnnxDestroySpeechSegment_t = void (*)(const SherpaOnnxSpeechSegment* segment);
using SherpaOnnxVoiceActivityDetectorReset_t = void (*)(const SherpaOnnxVoiceActivityDetector* vad);
using SherpaOnnxVoiceActivityDetectorFlush_t = void (*)(const SherpaOnnxVoiceActivityDetector* vad);
}

} // namespace parlune::sherpa
