// SPDX-License-Identifier: GPL-3.0-or-later
// A stand-in for libvosk with the same C functions, built as a shared library that the program's own
// loader opens by path. A "model" is a folder holding a file named `script`, one line per buffer the
// recogniser accepts:
//   partial <text>   the buffer ends inside an utterance whose partial text is now <text>
//   result <text>    the buffer ends an utterance whose text is <text>
//   error            the recogniser fails on that buffer
//   final <text>     (anywhere) what the final result flushes at the end; empty without it
// Buffers beyond the script change nothing. The JSON is written with the odd spacing of the real one.
// fake_vosk_models and fake_vosk_last_sample tell the test what was asked of the library.
#include <atomic>
#include <fstream>
#include <string>
#include <vector>

namespace {

struct Step
{
    std::string kind;
    std::string text;
};

struct Model
{
    std::vector<Step> steps;
    std::string finalText;
};

struct Recognizer
{
    const Model* model;
    std::size_t next = 0;
    std::string partial;
    std::string json;
};

const char* document(Recognizer* recognizer, const char* member, const std::string& text)
{
    recognizer->json = "{\n  \"" + std::string(member) + "\" : \"" + text + "\"\n}";
    return recognizer->json.c_str();
}

} // namespace

extern "C" {

// The models loaded, and the last sample accepted.
__attribute__((visibility("default"))) std::atomic<int> fake_vosk_models, fake_vosk_last_sample;

__attribute__((visibility("default"))) void vosk_set_log_level(int) {}

__attribute__((visibility("default"))) void* vosk_model_new(const char* path)
{
    std::ifstream file(std::string(path) + "/script");
    if (!file)
        return nullptr;
    auto* model = new Model;
    for (std::string line; std::getline(file, line);) {
        const std::size_t space = line.find(' ');
        const std::string kind = line.substr(0, space);
        const std::string text = space == std::string::npos ? std::string() : line.substr(space + 1);
        if (kind == "final")
            model->finalText = text;
        else
            model->steps.push_back({kind, text});
    }
    ++fake_vosk_models;
    return model;
}

__attribute__((visibility("default"))) void vosk_model_free(void* model)
{
    delete static_cast<Model*>(model);
}

__attribute__((visibility("default"))) void* vosk_recognizer_new(void* model, float)
{
    return new Recognizer{static_cast<Model*>(model), 0, {}, {}};
}

__attribute__((visibility("default"))) void vosk_recognizer_set_words(void*, int) {}
__attribute__((visibility("default"))) void vosk_recognizer_set_partial_words(void*, int) {}
__attribute__((visibility("default"))) void vosk_recognizer_set_max_alternatives(void*, int) {}

__attribute__((visibility("default"))) int vosk_recognizer_accept_waveform_s(void* handle, const short* data,
                                                                             int length)
{
    auto* recognizer = static_cast<Recognizer*>(handle);
    if (length > 0)
        fake_vosk_last_sample = data[length - 1];
    if (recognizer->next >= recognizer->model->steps.size())
        return 0;
    const Step& step = recognizer->model->steps[recognizer->next++];
    if (step.kind == "error")
        return -1;
    recognizer->partial = step.kind == "partial" ? step.text : std::string();
    return step.kind == "result" ? 1 : 0;
}

__attribute__((visibility("default"))) const char* vosk_recognizer_partial_result(void* handle)
{
    auto* recognizer = static_cast<Recognizer*>(handle);
    return document(recognizer, "partial", recognizer->partial);
}

__attribute__((visibility("default"))) const char* vosk_recognizer_result(void* handle)
{
    auto* recognizer = static_cast<Recognizer*>(handle);
    const Step& step = recognizer->model->steps[recognizer->next - 1];
    return document(recognizer, "text", step.text);
}

__attribute__((visibility("default"))) const char* vosk_recognizer_final_result(void* handle)
{
    auto* recognizer = static_cast<Recognizer*>(handle);
    return document(recognizer, "text", recognizer->model->finalText);
}

__attribute__((visibility("default"))) void vosk_recognizer_reset(void* handle)
{
    auto* recognizer = static_cast<Recognizer*>(handle);
    recognizer->next = 0;
    recognizer->partial.clear();
}

__attribute__((visibility("default"))) void vosk_recognizer_free(void* handle)
{
    delete static_cast<Recognizer*>(handle);
}
}
