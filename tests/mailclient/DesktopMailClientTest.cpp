#include "mailclient/DesktopMailClient.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/Errors.h"
#include "mailclient/MailtoUrl.h"

namespace {

TEST(DesktopMailClient, ShowingADraftOpensItsMailtoUrl) {
    std::vector<std::string> opened;
    TDesktopMailClient client(
        [&](const std::string& url) {
            opened.push_back(url);
            return true;
        },
        TDesktopMailClient::kArgumentLimit);
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
    TDesktopMailClient client([](const std::string&) { return false; },
                              TDesktopMailClient::kShellExecuteLimit);
    auto item = client.CreateItem();
    item->SetField(TMailField::To, u"a@example.jp");
    try {
        item->Display();
        ADD_FAILURE() << "no error";
    } catch (const EAppError& e) {
        EXPECT_STREQ(e.what(), "メールソフトを起動できません");
    }
}

// A URL the desktop would cut or refuse is not handed over at all, and the
// user learns how many recipients there are and what the limit is.
TEST(DesktopMailClient, AUrlOverTheLimitIsRefusedWhole) {
    std::string many;
    for (int i = 0; i < 10000; ++i) {
        many += "user" + std::to_string(i) + "@example.jp; ";
    }
    struct TCase {
        const char* what;
        std::u16string to, cc;
        size_t limit;
        const char* error;  // null: opened
    };
    // "mailto:a@example.jp,b@example.jp?cc=c@example.jp" is 48 characters.
    const TCase cases[] = {
        {"at the limit", u"a@example.jp; b@example.jp", u"c@example.jp", 48, nullptr},
        {"one over", u"a@example.jp; b@example.jp", u"c@example.jp", 47,
         "宛先 3 件は、メールソフトに一度に渡せる長さを超えています (URL が 48 文字、上限は 47 "
         "文字)"},
        {"ten thousand through ShellExecute", std::u16string(many.begin(), many.end()), u"",
         TDesktopMailClient::kShellExecuteLimit,
         "宛先 10,000 件は、メールソフトに一度に渡せる長さを超えています (URL が 198,896 "
         "文字、上限は 2,083 文字)"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.what);
        int opened = 0;
        TDesktopMailClient client(
            [&](const std::string&) {
                ++opened;
                return true;
            },
            c.limit);
        auto item = client.CreateItem();
        item->SetField(TMailField::To, c.to);
        item->SetField(TMailField::CC, c.cc);
        if (c.error == nullptr) {
            item->Display();
            EXPECT_EQ(opened, 1);
            continue;
        }
        try {
            item->Display();
            ADD_FAILURE() << "no error";
        } catch (const EAppError& e) {
            EXPECT_STREQ(e.what(), c.error);
        }
        EXPECT_EQ(opened, 0);
    }
}

}  // namespace
