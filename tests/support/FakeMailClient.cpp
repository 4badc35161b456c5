#include "tests/support/FakeMailClient.h"

#include "core/TextUtf.h"

const char* FieldName(TMailField field) {
    switch (field) {
        case TMailField::To:
            return "To";
        case TMailField::CC:
            return "CC";
        case TMailField::BCC:
            break;
    }
    return "BCC";
}

namespace {

class TFakeItemRef : public TMailItem {
  public:
    TFakeItemRef(TFakeMailClient& client, std::shared_ptr<TFakeItem> item)
        : client_(client), item_(std::move(item)) {}
    ~TFakeItemRef() override { client_.Calls.push_back("Release " + std::to_string(item_->Id)); }

    std::u16string GetField(TMailField field) override {
        const std::string name = std::string("Get ") + FieldName(field);
        client_.Calls.push_back(name);
        client_.Check(name);
        return Slot(field);
    }
    void SetField(TMailField field, const std::u16string& text) override {
        const std::string name = std::string("Set ") + FieldName(field);
        client_.Calls.push_back(name + ": " + Utf16ToUtf8(text));
        client_.Check(name);
        Slot(field) = text;
    }
    void Display() override {
        client_.Calls.push_back("Display");
        client_.Check("Display");
        ++item_->Displays;
    }

  private:
    std::u16string& Slot(TMailField field) {
        switch (field) {
            case TMailField::To:
                return item_->To;
            case TMailField::CC:
                return item_->CC;
            case TMailField::BCC:
                break;
        }
        return item_->BCC;
    }

    TFakeMailClient& client_;
    std::shared_ptr<TFakeItem> item_;
};

}  // namespace

void TFakeMailClient::Check(const std::string& call) {
    if (Hold) {
        Hold(call);
    }
    if (CancelRequested) {
        CancelRequested = false;
        throw EHandOffCancelled(DisplayName());
    }
    const auto it = failures_.find(call);
    if (it == failures_.end()) {
        return;
    }
    const Failure& f = it->second;
    if (call == "CoCreateInstance") {
        throw EOleSysError(f.Status);
    }
    if (call == "QueryApplication" || call == "QueryMailItem") {
        throw EIntfCastError();
    }
    if (call == "ActiveInspector" || call == "CreateItem" || call == "CurrentItem") {
        ThrowDispatchError(f.Status, f.ExcepCode, f.Info);
    }
    throw EOleException(f.Status, f.Info);
}

void TFakeMailClient::Connect() {
    if (connected_) {
        return;
    }
    Calls.push_back("Connect");
    if (failures_.count("GetActiveObject") != 0) {
        Calls.push_back("CoCreateInstance");
        Check("CoCreateInstance");
    }
    Check("QueryApplication");
    connected_ = true;
    ++Connections;
}

std::unique_ptr<TMailItem> TFakeMailClient::Wrap(std::shared_ptr<TFakeItem> item) {
    Check("QueryMailItem");
    if (!item->IsMail) {
        throw EIntfCastError();
    }
    return std::make_unique<TFakeItemRef>(*this, std::move(item));
}

std::unique_ptr<TMailItem> TFakeMailClient::CreateItem() {
    Connect();
    Calls.push_back("CreateItem");
    Check("CreateItem");
    auto item = std::make_shared<TFakeItem>();
    item->Id = nextId_++;
    Created.push_back(item);
    return Wrap(item);
}

std::unique_ptr<TMailItem> TFakeMailClient::ActiveItem() {
    Connect();
    Calls.push_back("ActiveInspector");
    Check("ActiveInspector");
    if (!InspectorOpen) {
        return nullptr;
    }
    Calls.push_back("CurrentItem");
    Check("CurrentItem");
    if (!OpenItem) {
        return nullptr;
    }
    if (OpenItem->Id == 0) {
        OpenItem->Id = nextId_++;
    }
    return Wrap(OpenItem);
}
