// libFuzzer entry for the address-book readers and queries.
#include <cstdio>
#include <cstdlib>

#include "fuzz/AddressBookFuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string fault = FuzzAddressBook(data, size);
    if (!fault.empty()) {
        std::fprintf(stderr, "address-book fault: %s\n", fault.c_str());
        std::abort();
    }
    return 0;
}
