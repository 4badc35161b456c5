// libFuzzer entry for the quote-transform checks.
#include <cstdio>
#include <cstdlib>

#include "fuzz/QuoteFuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string fault = FuzzQuote(data, size);
    if (!fault.empty()) {
        std::fprintf(stderr, "quote fault: %s\n", fault.c_str());
        std::abort();
    }
    return 0;
}
