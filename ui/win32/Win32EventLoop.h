// The event loop of the Win32 face: timers fire in whichever message loop
// runs on the thread (ours, a dialog's, or COM's while an Outlook call is
// outstanding), and a wait runs the message loop.
#pragma once

#include <windows.h>

#include "mailclient/EventLoop.h"

class TWin32EventLoop : public TEventLoop {
  public:
    // The messages of the program's loop (accelerators, dialog keys) go
    // through this; the default dispatches them.
    using TDispatch = void (*)(MSG& msg);
    // Made on the thread whose message loop serves it.
    explicit TWin32EventLoop(TDispatch dispatch = nullptr);

    // Descriptors are not watched here yet: no Windows backend needs it.
    std::unique_ptr<TSubscription> Watch(std::intptr_t descriptor, TReady ready,
                                         std::function<void()> callback) override;
    std::unique_ptr<TSubscription> CallAfter(std::chrono::milliseconds delay,
                                             std::function<void()> callback) override;
    void Post(std::function<void()> callback) override;
    void RunUntil(const std::function<bool()>& done) override;
    TClock::time_point Now() const override { return TClock::now(); }

  private:
    TDispatch dispatch_;
};
