// Replays every seed of the address-book fuzz corpus through the fuzz body,
// which checks the readers against a plain re-reading and the query invariants.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fuzz/AddressBookFuzz.h"

namespace fs = std::filesystem;

namespace {

std::vector<std::string> CorpusFiles() {
    std::vector<std::string> files;
    std::error_code ec;
    for (const auto& entry :
         fs::directory_iterator(fs::path(QUORVANTEL_FUZZ_CORPUS_ROOT) / "addressbook", ec)) {
        if (entry.is_regular_file()) {
            files.push_back(entry.path().filename().string());
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

class FuzzCorpus : public testing::TestWithParam<std::string> {};

TEST_P(FuzzCorpus, SeedHoldsEveryInvariant) {
    std::ifstream in(fs::path(QUORVANTEL_FUZZ_CORPUS_ROOT) / "addressbook" / GetParam(),
                     std::ios::binary);
    ASSERT_TRUE(in);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(FuzzAddressBook(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()), "");
}

INSTANTIATE_TEST_SUITE_P(Seeds, FuzzCorpus, testing::ValuesIn(CorpusFiles()),
                         [](const testing::TestParamInfo<std::string>& info) {
                             std::string name = info.param;
                             for (char& c : name) {
                                 if (!std::isalnum(static_cast<unsigned char>(c))) {
                                     c = '_';
                                 }
                             }
                             return name;
                         });

TEST(FuzzCorpusFiles, CorpusIsPresent) {
    // A missing corpus would silently instantiate no seed tests.
    EXPECT_GE(CorpusFiles().size(), 10u);
}

// Inputs the seeds do not spell out: the separator's absence (both files get
// the whole input) and bytes that form no valid cp932 text at all.
TEST(FuzzCorpusFiles, BodyAcceptsUnstructuredInput) {
    const std::string inputs[] = {
        std::string("Name: \\\r\nNickname: a\r\nEntry: a\r\n.\r\n"),
        std::string("\x81\x81\x81:\x81\r\n.\r\n\xff\xfe\r\n.", 13),
        std::string("\0\0\0\r\n.\r\n", 8),
        std::string(kFuzzGroupSeparator) + kFuzzGroupSeparator,
    };
    for (const std::string& in : inputs) {
        EXPECT_EQ(FuzzAddressBook(reinterpret_cast<const uint8_t*>(in.data()), in.size()), "");
    }
}

}  // namespace
