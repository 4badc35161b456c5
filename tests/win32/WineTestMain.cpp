// Entry of the Windows test programs. Every case assumes the ANSI code page of
// a Japanese Windows; a prefix without it fails at once instead of case by case.
#include <windows.h>

#include <gtest/gtest.h>

namespace {

class TJapaneseCodePage : public testing::Environment {
  public:
    void SetUp() override {
        ASSERT_EQ(GetACP(), 932u) << "run under LANG=ja_JP.UTF-8 (scripts/deps.sh test makes it)";
    }
};

}  // namespace

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    testing::AddGlobalTestEnvironment(new TJapaneseCodePage);
    return RUN_ALL_TESTS();
}
