// An in-process mail client for tests. It keeps the objects of an Outlook-like
// client (a connection, new items, an item window with its current item),
// records every call, and fails any call with any status the way the Outlook
// backend reports it.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "mailclient/MailClient.h"
#include "mailclient/OleErrors.h"

struct TFakeItem {
    std::u16string To, CC, BCC;
    bool IsMail = true;  // false: a contact, an appointment...
    int Displays = 0;
    int Id = 0;
};

class TFakeMailClient : public TMailClient {
  public:
    // Calls that can be made to fail, and how each failure is reported:
    //   "CoCreateInstance"                      EOleSysError (status)
    //   "QueryApplication", "QueryMailItem"      EIntfCastError
    //   "ActiveInspector", "CreateItem", "CurrentItem"
    //                                            a dispatch failure: with the status
    //                                            DISP_E_EXCEPTION an EOleException with
    //                                            the code and info given, else EOleSysError
    //   "Get To" / "Set To" / ... / "Display"    EOleException (status, info)
    // "GetActiveObject" failing only makes the connection start a new client.
    struct Failure {
        int32_t Status = 0;
        int32_t ExcepCode = 0;
        TOleErrorInfo Info;
    };
    void Fail(const std::string& call, Failure failure) { failures_[call] = std::move(failure); }
    void Fail(const std::string& call, int32_t status) { Fail(call, Failure{status, 0, {}}); }
    void ClearFailures() { failures_.clear(); }

    // The client's item window: none, or one showing an item (or nothing).
    bool InspectorOpen = false;
    std::shared_ptr<TFakeItem> OpenItem;
    bool ReachesOpenItems = true;

    // Every call in order, e.g. "CreateItem", "Set To: ...", "Display", "Release 1".
    std::vector<std::string> Calls;
    std::vector<std::shared_ptr<TFakeItem>> Created;
    int Connections = 0;

    void Connect() override;
    std::unique_ptr<TMailItem> CreateItem() override;
    std::unique_ptr<TMailItem> ActiveItem() override;
    bool CanReachOpenItems() const override { return ReachesOpenItems; }
    std::string DisplayName() const override { return "Fake"; }
    void SetReachChangedCallback(std::function<void()> callback) override {
        reachChanged_ = std::move(callback);
    }
    // The client comes or goes while the program runs.
    void ChangeReach(bool reaches) {
        ReachesOpenItems = reaches;
        if (reachChanged_) {
            reachChanged_();
        }
    }

    // A slow client: runs before every call (with its name), and may wait in
    // the window's event loop there. A wait ends early when the window stops
    // waiting (CancelWait); the call then throws EHandOffCancelled.
    std::function<void(const std::string& call)> Hold;
    bool CancelRequested = false;
    void CancelWait() override { CancelRequested = true; }
    bool Cancellable = true;
    bool CanCancelWait() const override { return Cancellable; }

    // Called by the items; throws the configured failure of a call, if any.
    void Check(const std::string& call);

  private:
    std::unique_ptr<TMailItem> Wrap(std::shared_ptr<TFakeItem> item);

    std::map<std::string, Failure> failures_;
    std::function<void()> reachChanged_;
    bool connected_ = false;
    int nextId_ = 1;
};

// The recorded form of a field name: "To", "CC", "BCC".
const char* FieldName(TMailField field);
