// Entry of the Windows test programs. Every case assumes the ANSI code page of
// a Japanese Windows; a prefix without it fails at once instead of case by case.
#include <windows.h>

#include <gtest/gtest.h>

#include <thread>

#include "tests/win32/WineTest.h"

bool WaitFor(const std::function<bool()>& condition, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

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
