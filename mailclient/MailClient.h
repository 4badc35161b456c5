// The mail-client bridge: one connection, mail items with three recipient
// fields. Text crosses this interface as UTF-16 only; code page 932 stays on
// the caller's side.
#pragma once

#include <functional>
#include <memory>
#include <string>

enum class TMailField { To, CC, BCC };

// One mail item, held for the length of one action.
class TMailItem {
  public:
    virtual ~TMailItem() = default;

    virtual std::u16string GetField(TMailField field) = 0;
    // The field's text becomes exactly the given text.
    virtual void SetField(TMailField field, const std::u16string& text) = 0;
    // Shows the item's window and returns without waiting for it to close.
    virtual void Display() = 0;
};

// The connection to a mail client; the main window holds one for its life.
class TMailClient {
  public:
    virtual ~TMailClient() = default;

    // Connects unless a connection is already held.
    virtual void Connect() = 0;
    // A new, unsent mail item that is not yet shown. Connects first if needed.
    virtual std::unique_ptr<TMailItem> CreateItem() = 0;
    // The mail item of the client's active item window, or null when no item
    // window is open or it shows no item. Connects first if needed.
    virtual std::unique_ptr<TMailItem> ActiveItem() = 0;
    // Whether ActiveItem can ever give an item here.
    virtual bool CanReachOpenItems() const = 0;
    // Called whenever CanReachOpenItems changes; a client whose answer never
    // changes never calls it.
    virtual void SetReachChangedCallback(std::function<void()> callback) { (void)callback; }
};
