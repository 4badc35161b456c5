// The mail-client bridge: one connection, mail items with three recipient
// fields. Text crosses this interface as UTF-16 only; code page 932 stays on
// the caller's side.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "core/Errors.h"

enum class TMailField { To, CC, BCC };

// One mail item, held for the length of one action.
class TMailItem {
  public:
    virtual ~TMailItem() = default;

    virtual std::u16string GetField(TMailField field) = 0;
    // The field's text becomes exactly the given text.
    virtual void SetField(TMailField field, const std::u16string& text) = 0;
    // The given text goes after what the field holds, behind "; ". What the
    // field held stays exactly as the client holds it: a client that keeps
    // its recipients as entries of its own adds ours after them.
    virtual void AppendToField(TMailField field, const std::u16string& text) {
        SetField(field, GetField(field) + u"; " + text);
    }
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
    // Whether ActiveItem can give an item now.
    virtual bool CanReachOpenItems() const = 0;
    // Called whenever CanReachOpenItems changes while the program runs (a
    // bridge that comes and goes); a client whose reach never changes keeps
    // the default.
    virtual void SetReachChangedCallback(std::function<void()>) {}

    // The client's name for the user (UTF-8), as a progress window shows it.
    virtual std::string DisplayName() const = 0;
    // Stops waiting for the call in progress, which then throws
    // EHandOffCancelled; what the client was given may still be carried out.
    // A client whose calls cannot be left (a COM call blocks until its server
    // answers) keeps the defaults.
    virtual void CancelWait() {}
    virtual bool CanCancelWait() const { return false; }
};

// The user stopped waiting for the mail client.
class EHandOffCancelled : public EAppError {
  public:
    // The message names the client, which may still finish what it was given.
    explicit EHandOffCancelled(const std::string& clientName);
};
