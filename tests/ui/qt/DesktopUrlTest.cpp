// The Qt face's way to the desktop, which the mailto backend and the credit
// label hand their URLs to.
#include <gtest/gtest.h>

#include <QByteArray>
#include <QGuiApplication>
#include <QUrl>
#include <string>
#include <vector>

#include "mailclient/MailtoUrl.h"
#include "ui/qt/UiText.h"

namespace {

TEST(DesktopUrl, OffscreenDesktopCannotOpenUrls) {
    // The offscreen platform has no desktop services: the real path fails.
    ASSERT_EQ(QGuiApplication::platformName(), "offscreen");
    EXPECT_FALSE(OpenUrlOnDesktop("mailto:a@example.jp"));
}

TEST(DesktopUrl, QtPassesTheUrlOnUnchanged) {
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
