#include "DesktopMailClient.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QGuiApplication>
#include <QUrl>
#include <string>
#include <vector>

#include "Errors.h"
#include "MailtoUrl.h"

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

TEST(DesktopMailClient, OffscreenDesktopCannotOpenUrls) {
    // The offscreen platform has no desktop services: the real path fails.
    ASSERT_EQ(QGuiApplication::platformName(), "offscreen");
    TDesktopMailClient client;
    auto item = client.CreateItem();
    item->SetField(TMailField::To, u"a@example.jp");
    EXPECT_THROW(item->Display(), EAppError);
}

TEST(DesktopMailClient, QtPassesTheUrlOnUnchanged) {
    // xdg-open receives QUrl::toEncoded() of what we hand over.
    const std::vector<std::string> urls = {
        BuildMailtoUrl("\"佐藤 和子\"<kazuko.sato@example.jp>; \"a,b\"<c@x>; ", "x?cc=y@z&a=b#c",
                       "\"%0A\r\nBcc: e@x\"<p@x>; <>\"'()*+!$;,/:[]\\^`{|}"),
        BuildMailtoUrl("", "c@x", ""),
        BuildMailtoUrl("~._-@", "", "\xF0\x9F\x98\x80"),
    };
    for (const std::string& url : urls) {
        const QUrl qurl = QUrl::fromEncoded(QByteArray::fromStdString(url), QUrl::StrictMode);
        ASSERT_TRUE(qurl.isValid()) << url;
        EXPECT_EQ(qurl.scheme(), "mailto");
        EXPECT_EQ(qurl.toEncoded().toStdString(), url);
    }
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
