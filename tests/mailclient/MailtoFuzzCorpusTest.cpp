// Replays the mailto-URL fuzz corpus through the fuzz body.
#include <gtest/gtest.h>

#include <string>

#include "fuzz/FuzzCorpusFiles.h"
#include "fuzz/MailtoFuzz.h"

namespace {

const std::filesystem::path kCorpus = std::filesystem::path(QUORVANTEL_FUZZ_CORPUS_ROOT) / "mailto";

std::string RunBody(const std::string& bytes) {
    return FuzzMailto(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

class MailtoFuzzCorpus : public testing::TestWithParam<std::string> {};

TEST_P(MailtoFuzzCorpus, SeedHoldsEveryInvariant) {
    EXPECT_EQ(RunBody(ReadFuzzSeed(kCorpus / GetParam())), "");
}

INSTANTIATE_TEST_SUITE_P(Seeds, MailtoFuzzCorpus, testing::ValuesIn(FuzzCorpusFiles(kCorpus)),
                         [](const testing::TestParamInfo<std::string>& info) {
                             return FuzzSeedTestName(info.param);
                         });

TEST(MailtoFuzzCorpusFiles, CorpusIsPresent) {
    EXPECT_GE(FuzzCorpusFiles(kCorpus).size(), 10u);
}

// Field marks and line breaks typed into every field stay inside their entries.
TEST(MailtoFuzzCorpusFiles, BodyAcceptsFieldMarksInEveryField) {
    const std::string field = "a?cc=x&bcc=y#z\r\nTo: b@example.jp";
    const std::string in = std::string(1, static_cast<char>(field.size())) +
                           std::string(1, static_cast<char>(field.size())) + field + field + field;
    EXPECT_EQ(RunBody(in), "");
    EXPECT_EQ(RunBody(std::string()), "");
}

}  // namespace
