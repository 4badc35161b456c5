// libFuzzer entry for the preferences checks.
#include <cstdio>
#include <cstdlib>

#include "fuzz/PrefsFuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string fault = FuzzPrefs(data, size);
    if (!fault.empty()) {
        std::fprintf(stderr, "prefs fault: %s\n", fault.c_str());
        std::abort();
    }
    return 0;
}
