// What a mail-client backend needs of the program's event loop, which the face
// supplies (Qt's on Linux, the message loop on Windows, a manual one in tests):
// to hear when a descriptor can be read or written, to be called back after a
// while or from another thread, and to wait for something while the windows go
// on being served.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>

class TEventLoop {
  public:
    using TClock = std::chrono::steady_clock;

    // Dropping it ends the watch or the timer; its callback is not called
    // after that, not even when the drop happens inside the callback.
    class TSubscription {
      public:
        virtual ~TSubscription() = default;
    };

    enum class TReady { Read, Write };

    virtual ~TEventLoop() = default;

    // Calls back whenever the descriptor (a socket or a handle) is ready.
    virtual std::unique_ptr<TSubscription> Watch(std::intptr_t descriptor, TReady ready,
                                                 std::function<void()> callback) = 0;
    // Calls back once, after the delay.
    virtual std::unique_ptr<TSubscription> CallAfter(std::chrono::milliseconds delay,
                                                     std::function<void()> callback) = 0;
    // Runs the callback soon on the loop's thread, inside whichever wait is
    // running. The one call that may come from any thread: how a worker hands
    // its result back. The callback must itself check that what it touches
    // still exists.
    virtual void Post(std::function<void()> callback) = 0;
    // Serves events, windows' and watches' alike, until done() holds; done is
    // asked again after every event. Nests: a callback may wait in turn.
    virtual void RunUntil(const std::function<bool()>& done) = 0;
    virtual TClock::time_point Now() const = 0;
};
