#include "ui/win32/Win32EventLoop.h"

#include <map>
#include <memory>
#include <stdexcept>
#include <utility>

namespace {

// Thread timers carry no pointer: their callbacks are found by timer id.
std::map<UINT_PTR, std::shared_ptr<std::function<void()>>>& Timers() {
    static std::map<UINT_PTR, std::shared_ptr<std::function<void()>>> timers;
    return timers;
}

void CALLBACK TimerFired(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    const auto it = Timers().find(id);
    if (it == Timers().end()) {
        return;
    }
    const std::shared_ptr<std::function<void()>> callback = it->second;
    Timers().erase(it);
    (*callback)();
}

class TTimer : public TEventLoop::TSubscription {
  public:
    explicit TTimer(UINT_PTR id) : id_(id) {}
    ~TTimer() override {
        if (Timers().erase(id_) > 0) {
            KillTimer(nullptr, id_);
        }
    }

  private:
    UINT_PTR id_;
};

}  // namespace

std::unique_ptr<TEventLoop::TSubscription> TWin32EventLoop::Watch(std::intptr_t, TReady,
                                                                  std::function<void()>) {
    throw std::logic_error("descriptor watches are not available on Windows");
}

std::unique_ptr<TEventLoop::TSubscription> TWin32EventLoop::CallAfter(
    std::chrono::milliseconds delay, std::function<void()> callback) {
    const UINT ms = static_cast<UINT>(std::max<std::chrono::milliseconds::rep>(delay.count(), 1));
    const UINT_PTR id = SetTimer(nullptr, 0, ms, TimerFired);
    if (id == 0) {
        throw std::runtime_error("SetTimer failed");
    }
    Timers()[id] = std::make_shared<std::function<void()>>(std::move(callback));
    return std::make_unique<TTimer>(id);
}

void TWin32EventLoop::RunUntil(const std::function<bool()>& done) {
    MSG msg;
    while (!done()) {
        const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got <= 0) {
            // The program is ending: hand the quit on to the outer loop.
            PostQuitMessage(got == 0 ? static_cast<int>(msg.wParam) : 1);
            return;
        }
        if (dispatch_ != nullptr) {
            dispatch_(msg);
        } else {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
}
