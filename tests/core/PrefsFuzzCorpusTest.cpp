// Replays the preferences fuzz corpus through the fuzz body, and keeps what the
// fuzzer found as plain regression tests.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/PrefsFile.h"
#include "core/Utils.h"
#include "fuzz/FuzzCorpusFiles.h"
#include "fuzz/PrefsFuzz.h"
#include "tests/support/TestFiles.h"

namespace {

const std::filesystem::path kCorpus = std::filesystem::path(QUORVANTEL_FUZZ_CORPUS_ROOT) / "prefs";

std::string RunBody(const std::string& bytes) {
    return FuzzPrefs(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

class PrefsFuzzCorpus : public testing::TestWithParam<std::string> {};

TEST_P(PrefsFuzzCorpus, SeedHoldsEveryInvariant) {
    EXPECT_EQ(RunBody(ReadFuzzSeed(kCorpus / GetParam())), "");
}

INSTANTIATE_TEST_SUITE_P(Seeds, PrefsFuzzCorpus, testing::ValuesIn(FuzzCorpusFiles(kCorpus)),
                         [](const testing::TestParamInfo<std::string>& info) {
                             return FuzzSeedTestName(info.param);
                         });

TEST(PrefsFuzzCorpusFiles, CorpusIsPresent) {
    EXPECT_GE(FuzzCorpusFiles(kCorpus).size(), 10u);
}

class TNoWindow : public TPrefsWindow {
  public:
    void SetLeft(int) override {}
    void SetTop(int) override {}
    void SetWidth(int) override {}
    void SetHeight(int) override {}
};

// Found by the fuzzer: a NUL in a number cut the message short, since the
// error's text is read as a C string.
TEST(PrefsFuzzFindings, NulInNumberKeepsTheWholeMessage) {
    const std::string expected = "'1\uFFFD2' は整数ではありません";
    try {
        StrToInt(
            std::string("1\0"
                        "2",
                        3));
        ADD_FAILURE() << "no error";
    } catch (const EConvertError& e) {
        EXPECT_EQ(std::string(e.what()), expected);
    }

    TempDir dir;
    const auto path = dir.Write("quorvantel.ini", std::string("WindowSize: 1\0"
                                                              "2,3\r\n",
                                                              19));
    TPrefs prefs;
    TNoWindow window;
    std::vector<std::string> bad;
    ReadPrefsFile(path, prefs, window, [&](const EAppError& e) { bad.emplace_back(e.what()); });
    EXPECT_EQ(bad, std::vector<std::string>{expected});
}

}  // namespace
