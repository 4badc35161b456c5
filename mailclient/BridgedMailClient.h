// A mail client that reaches open compose windows only at times (Thunderbird
// while its extension is connected), with a stand-in for the rest of the time
// (the desktop's mailto:). Each call goes to the bridge while it can reach
// open items, else to the stand-in.
#pragma once

#include <functional>
#include <memory>

#include "mailclient/MailClient.h"

class TBridgedMailClient : public TMailClient {
  public:
    TBridgedMailClient(std::unique_ptr<TMailClient> bridge, std::unique_ptr<TMailClient> fallback);

    void Connect() override;
    std::unique_ptr<TMailItem> CreateItem() override;
    std::unique_ptr<TMailItem> ActiveItem() override;
    bool CanReachOpenItems() const override;
    void SetReachChangedCallback(std::function<void()> callback) override;
    std::string DisplayName() const override;
    void CancelWait() override;
    bool CanCancelWait() const override;

  private:
    TMailClient& Current() const;

    std::unique_ptr<TMailClient> bridge_;
    std::unique_ptr<TMailClient> fallback_;
};
