// Outlook through COM automation. Windows only.
#pragma once

#ifdef _WIN32

#include <memory>

#include "mailclient/MailClient.h"

struct IDispatch;

// The connection component: attaches to a running Outlook or starts one on the
// first connect, holds the application object until destroyed, and never asks
// Outlook to quit.
class TOutlookApplication : public TMailClient {
  public:
    TOutlookApplication() = default;
    ~TOutlookApplication() override;
    TOutlookApplication(const TOutlookApplication&) = delete;
    TOutlookApplication& operator=(const TOutlookApplication&) = delete;

    void Connect() override;
    // CreateItem(0), queried for _MailItem.
    std::unique_ptr<TMailItem> CreateItem() override;
    // ActiveInspector, then its CurrentItem, queried for _MailItem.
    std::unique_ptr<TMailItem> ActiveItem() override;
    // Where Outlook's automation class is registered (for this user or the
    // machine): "Outlook (new)" has none.
    bool CanReachOpenItems() const override;
    std::string DisplayName() const override { return "Outlook"; }

  private:
    IDispatch* app_ = nullptr;
};

#endif
