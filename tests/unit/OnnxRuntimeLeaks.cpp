// SPDX-License-Identifier: GPL-3.0-or-later
// Linked into the tests that load sherpa-onnx. WORKAROUND: the ONNX runtime's processor detection
// (cpuinfo) keeps two 16-byte blocks it never frees; the leak checker of the sanitizer build is told
// to pass over them, and only them.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:cpuinfo_x86_linux_init\n";
}
