// The mail client of the desktop: a new item is a draft held here; showing it
// hands one "mailto:" URL to the desktop's default mail client. Compose
// windows that are already open cannot be reached.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "mailclient/MailClient.h"

class TDesktopMailClient : public TMailClient {
  public:
    // Opens a URL (ASCII, fully percent-encoded); false when the desktop can't.
    using TUrlOpener = std::function<bool(const std::string& url)>;

    // The face's way to the desktop (QDesktopServices with Qt).
    explicit TDesktopMailClient(TUrlOpener opener);

    void Connect() override {}
    std::unique_ptr<TMailItem> CreateItem() override;
    std::unique_ptr<TMailItem> ActiveItem() override { return nullptr; }
    bool CanReachOpenItems() const override { return false; }
    std::string DisplayName() const override { return "メールソフト"; }

  private:
    TUrlOpener opener_;
};
