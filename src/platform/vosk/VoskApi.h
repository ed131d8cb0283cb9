// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The C interface of libvosk, declared here: the library ships without a header. Models and
// recognisers are opaque. A model may serve several recognisers on several threads; a recogniser is
// used by one thread at a time. Texts are UTF-8 JSON owned by the recogniser, valid until its next call.
extern "C" {

struct vosk_model;
struct vosk_recognizer;

// -1 silences the library's information lines; its error lines are written whatever the level.
using vosk_set_log_level_t = void (*)(int level);
// Null when the folder holds no usable model.
using vosk_model_new_t = vosk_model* (*)(const char* modelPath);
using vosk_model_free_t = void (*)(vosk_model* model);
using vosk_recognizer_new_t = vosk_recognizer* (*)(vosk_model* model, float sampleRate);
using vosk_recognizer_set_words_t = void (*)(vosk_recognizer* recognizer, int words);
using vosk_recognizer_set_partial_words_t = void (*)(vosk_recognizer* recognizer, int partialWords);
using vosk_recognizer_set_max_alternatives_t = void (*)(vosk_recognizer* recognizer, int maxAlternatives);
// 1 when an utterance has ended and its result is ready, 0 otherwise, -1 on error.
using vosk_recognizer_accept_waveform_s_t = int (*)(vosk_recognizer* recognizer, const short* data,
                                                    int length);
// {"partial" : "…"}
using vosk_recognizer_partial_result_t = const char* (*)(vosk_recognizer* recognizer);
// {"text" : "…"}: the utterance that just ended.
using vosk_recognizer_result_t = const char* (*)(vosk_recognizer* recognizer);
// {"text" : "…"}: whatever is left, flushed.
using vosk_recognizer_final_result_t = const char* (*)(vosk_recognizer* recognizer);
using vosk_recognizer_reset_t = void (*)(vosk_recognizer* recognizer);
using vosk_recognizer_free_t = void (*)(vosk_recognizer* recognizer);
}
