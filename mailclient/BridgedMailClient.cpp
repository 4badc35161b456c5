#include "mailclient/BridgedMailClient.h"

#include <utility>

TBridgedMailClient::TBridgedMailClient(std::unique_ptr<TMailClient> bridge,
                                       std::unique_ptr<TMailClient> fallback)
    : bridge_(std::move(bridge)), fallback_(std::move(fallback)) {}

TMailClient& TBridgedMailClient::Current() const {
    return bridge_->CanReachOpenItems() ? *bridge_ : *fallback_;
}

void TBridgedMailClient::Connect() {
    Current().Connect();
}

std::unique_ptr<TMailItem> TBridgedMailClient::CreateItem() {
    return Current().CreateItem();
}

std::unique_ptr<TMailItem> TBridgedMailClient::ActiveItem() {
    return Current().ActiveItem();
}

bool TBridgedMailClient::CanReachOpenItems() const {
    return bridge_->CanReachOpenItems() || fallback_->CanReachOpenItems();
}

std::string TBridgedMailClient::DisplayName() const {
    return Current().DisplayName();
}

bool TBridgedMailClient::CanCancelWait() const {
    return Current().CanCancelWait();
}

void TBridgedMailClient::CancelWait() {
    bridge_->CancelWait();
    fallback_->CancelWait();
}

void TBridgedMailClient::SetReachChangedCallback(std::function<void()> callback) {
    bridge_->SetReachChangedCallback(callback);
    fallback_->SetReachChangedCallback(std::move(callback));
}
