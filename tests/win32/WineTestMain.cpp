// Entry of the Windows test programs. The cases hold whatever the system's
// ANSI code page is; each prefix says which one it has made
// (QUORVANTEL_WINE_ACP, 932 when unset), and a prefix that has another fails
// at once instead of case by case.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
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
        const char* wanted = std::getenv("QUORVANTEL_WINE_ACP");
        const unsigned codePage = wanted && *wanted ? std::strtoul(wanted, nullptr, 10) : 932u;
        ASSERT_EQ(GetACP(), codePage) << "the prefix's locale (LANG, LC_ALL) or its registry";
    }
};

}  // namespace

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    testing::AddGlobalTestEnvironment(new TJapaneseCodePage);
    return RUN_ALL_TESTS();
}
