// The mail client of the desktop: a new item is a draft held here; showing it
// hands one "mailto:" URL to the desktop's default mail client. Compose
// windows that are already open cannot be reached. A URL longer than the
// desktop can pass on is refused whole, never cut.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "mailclient/MailClient.h"

class TDesktopMailClient : public TMailClient {
  public:
    // Opens a URL (ASCII, fully percent-encoded); false when the desktop can't.
    using TUrlOpener = std::function<bool(const std::string& url)>;

    // Windows: ShellExecute takes a URL of at most INTERNET_MAX_URL_LENGTH
    // (2,084 with its NUL) and hands it to the mail client on a command line;
    // longer ones fail or reach the mail client cut.
    static constexpr size_t kShellExecuteLimit = 2083;
    // Wine's ShellExecuteW (8.0) passes on at most 995 characters of a URL and
    // brings the calling program down from 997.
    static constexpr size_t kWineShellExecuteLimit = 995;
    // Linux: the URL reaches the handler (xdg-open, then the mail client) as
    // one argument, and the kernel takes at most 128 KiB with its NUL for one.
    static constexpr size_t kArgumentLimit = 128 * 1024 - 1;

    // The face's way to the desktop (QDesktopServices with Qt, ShellExecuteW
    // on Windows), and the longest URL it passes on whole.
    TDesktopMailClient(TUrlOpener opener, size_t urlLimit);

    void Connect() override {}
    std::unique_ptr<TMailItem> CreateItem() override;
    std::unique_ptr<TMailItem> ActiveItem() override { return nullptr; }
    bool CanReachOpenItems() const override { return false; }
    std::string DisplayName() const override { return "メールソフト"; }

  private:
    TUrlOpener opener_;
    size_t urlLimit_;
};
