#include "mailclient/MailClientChoice.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <utility>

namespace {

struct TNamedItem : TMailItem {
    std::string name;
    explicit TNamedItem(std::string n) : name(std::move(n)) {}
    std::u16string GetField(TMailField) override { return {}; }
    void SetField(TMailField, const std::u16string&) override {}
    void Display() override {}
};

// A client whose reach the test switches: Thunderbird's connection coming and
// going, Outlook registered or not.
struct TToggleClient : TMailClient {
    std::string name;
    bool reach = false;
    std::function<void()> changed;
    explicit TToggleClient(std::string n, bool r) : name(std::move(n)), reach(r) {}
    void Connect() override {}
    std::unique_ptr<TMailItem> CreateItem() override {
        return std::make_unique<TNamedItem>(name + " new");
    }
    std::unique_ptr<TMailItem> ActiveItem() override {
        return reach ? std::make_unique<TNamedItem>(name + " open") : nullptr;
    }
    bool CanReachOpenItems() const override { return reach; }
    std::string DisplayName() const override { return name; }
    void SetReachChangedCallback(std::function<void()> cb) override { changed = std::move(cb); }
};

std::string NameOf(const std::unique_ptr<TMailItem>& item) {
    return item ? static_cast<TNamedItem&>(*item).name : "none";
}

TEST(MailClientChoice, FollowsTheBridgeAndTellsItsOwner) {
    auto bridge = std::make_unique<TToggleClient>("thunderbird", false);
    TToggleClient* tb = bridge.get();
    auto client = ChooseMailClient(std::move(bridge), nullptr,
                                   std::make_unique<TToggleClient>("mailto", false));
    int told = 0;
    client->SetReachChangedCallback([&] { ++told; });
    EXPECT_FALSE(client->CanReachOpenItems());
    EXPECT_EQ(NameOf(client->CreateItem()), "mailto new");
    EXPECT_EQ(NameOf(client->ActiveItem()), "none");
    tb->reach = true;
    tb->changed();
    EXPECT_EQ(told, 1);
    EXPECT_TRUE(client->CanReachOpenItems());
    EXPECT_EQ(NameOf(client->CreateItem()), "thunderbird new");
    EXPECT_EQ(NameOf(client->ActiveItem()), "thunderbird open");
    tb->reach = false;
    tb->changed();
    EXPECT_EQ(told, 2);
    EXPECT_EQ(NameOf(client->CreateItem()), "mailto new");
}

TEST(MailClientChoice, ThunderbirdThenOutlookThenTheDesktop) {
    struct TCase {
        bool thunderbirdConnected, outlookRegistered;
        const char* chosen;
        bool reachesOpenItems;
        const char* display;
    };
    const TCase cases[] = {
        {true, true, "thunderbird", true, "thunderbird"},
        {true, false, "thunderbird", true, "thunderbird"},
        {false, true, "outlook", true, "outlook"},
        {false, false, "mailto", false, "mailto"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(std::string(c.chosen) + (c.outlookRegistered ? ", outlook" : ""));
        auto client =
            ChooseMailClient(std::make_unique<TToggleClient>("thunderbird", c.thunderbirdConnected),
                             std::make_unique<TToggleClient>("outlook", c.outlookRegistered),
                             std::make_unique<TToggleClient>("mailto", false));
        EXPECT_EQ(NameOf(client->CreateItem()), std::string(c.chosen) + " new");
        EXPECT_EQ(client->CanReachOpenItems(), c.reachesOpenItems);
        EXPECT_EQ(client->DisplayName(), c.display);
    }
    // A system without Thunderbird's bridge: Outlook or the desktop.
    auto noBridge = ChooseMailClient(nullptr, std::make_unique<TToggleClient>("outlook", false),
                                     std::make_unique<TToggleClient>("mailto", false));
    EXPECT_EQ(NameOf(noBridge->CreateItem()), "mailto new");
    auto desktopOnly =
        ChooseMailClient(nullptr, nullptr, std::make_unique<TToggleClient>("mailto", false));
    EXPECT_EQ(NameOf(desktopOnly->CreateItem()), "mailto new");
    EXPECT_FALSE(desktopOnly->CanReachOpenItems());
}

}  // namespace
