#include "mailclient/DesktopMailClient.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/Errors.h"
#include "mailclient/MailtoUrl.h"

namespace {

TEST(DesktopMailClient, ShowingADraftOpensItsMailtoUrl) {
    std::vector<std::string> opened;
    TDesktopMailClient client([&](const std::string& url) {
        opened.push_back(url);
        return true;
    });
    EXPECT_FALSE(client.CanReachOpenItems());
    client.Connect();
    EXPECT_EQ(client.ActiveItem(), nullptr);

    auto item = client.CreateItem();
    EXPECT_EQ(item->GetField(TMailField::To), u"");
    item->SetField(TMailField::To, u"\"佐藤 和子\"<kazuko.sato@example.jp>; ");
    item->SetField(TMailField::CC, u"; a@example.jp; ");
    item->SetField(TMailField::BCC, u"b@example.jp; ");
    EXPECT_EQ(item->GetField(TMailField::CC), u"; a@example.jp; ");
    EXPECT_TRUE(opened.empty());
    item->Display();
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0],
              "mailto:%22%E4%BD%90%E8%97%A4%20%E5%92%8C%E5%AD%90%22%3Ckazuko.sato@example.jp%3E"
              "?cc=a@example.jp&bcc=b@example.jp");

    // Every new item is a fresh draft.
    auto second = client.CreateItem();
    EXPECT_EQ(second->GetField(TMailField::To), u"");
    second->Display();
    EXPECT_EQ(opened.back(), "mailto:");
}

TEST(DesktopMailClient, ADesktopThatCannotOpenTheUrlIsAnError) {
    TDesktopMailClient client([](const std::string&) { return false; });
    auto item = client.CreateItem();
    item->SetField(TMailField::To, u"a@example.jp");
    try {
        item->Display();
        ADD_FAILURE() << "no error";
    } catch (const EAppError& e) {
        EXPECT_STREQ(e.what(), "メールソフトを起動できません");
    }
}

}  // namespace
