// libFuzzer entry for the mailto-URL checks.
#include <cstdio>
#include <cstdlib>

#include "fuzz/MailtoFuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string fault = FuzzMailto(data, size);
    if (!fault.empty()) {
        std::fprintf(stderr, "mailto fault: %s\n", fault.c_str());
        std::abort();
    }
    return 0;
}
