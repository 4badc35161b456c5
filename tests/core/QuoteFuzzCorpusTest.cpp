// Replays the quote-transform fuzz corpus through the fuzz body.
#include <gtest/gtest.h>

#include <string>

#include "fuzz/FuzzCorpusFiles.h"
#include "fuzz/QuoteFuzz.h"

namespace {

const std::filesystem::path kCorpus = std::filesystem::path(QUORVANTEL_FUZZ_CORPUS_ROOT) / "quote";

std::string RunBody(const std::string& bytes) {
    return FuzzQuote(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

class QuoteFuzzCorpus : public testing::TestWithParam<std::string> {};

TEST_P(QuoteFuzzCorpus, SeedHoldsEveryInvariant) {
    EXPECT_EQ(RunBody(ReadFuzzSeed(kCorpus / GetParam())), "");
}

INSTANTIATE_TEST_SUITE_P(Seeds, QuoteFuzzCorpus, testing::ValuesIn(FuzzCorpusFiles(kCorpus)),
                         [](const testing::TestParamInfo<std::string>& info) {
                             return FuzzSeedTestName(info.param);
                         });

TEST(QuoteFuzzCorpusFiles, CorpusIsPresent) {
    EXPECT_GE(FuzzCorpusFiles(kCorpus).size(), 10u);
}

// The input layout's edges: nothing at all, a mark length past the end.
TEST(QuoteFuzzCorpusFiles, BodyAcceptsShortInput) {
    for (const std::string& in : {std::string(), std::string("\x07"), std::string("\x07\r\n")}) {
        EXPECT_EQ(RunBody(in), "");
    }
}

}  // namespace
