#include "ui/win32/Win32EventLoop.h"

#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <utility>

// A call into Outlook waits in COM's own loop, which dispatches paint and
// sent messages only, not timers. So each timer runs on the thread pool and
// sends its firing to a message window of the loop's thread, which runs the
// callback there, inside whichever loop is waiting. Posted callbacks take the
// same way.

namespace {

constexpr UINT kFired = WM_APP + 1;
constexpr UINT kPosted = WM_APP + 2;
constexpr wchar_t kLoopClass[] = L"TQuorvantelLoop";

HWND g_window = nullptr;
std::map<UINT_PTR, std::function<void()>> g_timers;  // the loop thread's only
UINT_PTR g_nextId = 1;
std::mutex g_postedMutex;
std::deque<std::function<void()>> g_posted;  // from any thread

// A sent message is handled inside GetMessageW, which then goes on waiting: a
// posted one makes it return, so that a RunUntil asks its condition again.
void WakeWaits(HWND hwnd) {
    PostMessageW(hwnd, WM_NULL, 0, 0);
}

LRESULT CALLBACK LoopProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kFired) {
        const auto it = g_timers.find(static_cast<UINT_PTR>(wParam));
        if (it != g_timers.end()) {
            const std::function<void()> callback = std::move(it->second);
            g_timers.erase(it);
            callback();
            WakeWaits(hwnd);
        }
        return 0;
    }
    if (message == kPosted) {
        std::function<void()> callback;
        {
            const std::lock_guard lock(g_postedMutex);
            if (g_posted.empty()) {
                return 0;
            }
            callback = std::move(g_posted.front());
            g_posted.pop_front();
        }
        callback();
        WakeWaits(hwnd);
        return 0;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

HWND LoopWindow() {
    if (g_window == nullptr) {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = LoopProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = kLoopClass;
        RegisterClassExW(&wc);
        g_window = CreateWindowExW(0, kLoopClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                   wc.hInstance, nullptr);
    }
    return g_window;
}

void CALLBACK PoolTimerFired(PVOID id, BOOLEAN) {
    SendNotifyMessageW(g_window, kFired, reinterpret_cast<WPARAM>(id), 0);
}

class TTimer : public TEventLoop::TSubscription {
  public:
    TTimer(UINT_PTR id, HANDLE timer) : id_(id), timer_(timer) {}
    ~TTimer() override {
        g_timers.erase(id_);
        // Not waited for: a firing already on its way finds no callback.
        DeleteTimerQueueTimer(nullptr, timer_, nullptr);
    }

  private:
    UINT_PTR id_;
    HANDLE timer_;
};

}  // namespace

TWin32EventLoop::TWin32EventLoop(TDispatch dispatch) : dispatch_(dispatch) {
    // Before any worker can post to it.
    LoopWindow();
}

void TWin32EventLoop::Post(std::function<void()> callback) {
    {
        const std::lock_guard lock(g_postedMutex);
        g_posted.push_back(std::move(callback));
    }
    // One message for each callback. From a worker a sent one, which COM's
    // wait dispatches too; on the loop's own thread that would run the
    // callback at once, so there it is posted.
    if (GetWindowThreadProcessId(g_window, nullptr) == GetCurrentThreadId()) {
        PostMessageW(g_window, kPosted, 0, 0);
    } else {
        SendNotifyMessageW(g_window, kPosted, 0, 0);
    }
}

std::unique_ptr<TEventLoop::TSubscription> TWin32EventLoop::Watch(std::intptr_t, TReady,
                                                                  std::function<void()>) {
    throw std::logic_error("descriptor watches are not available on Windows");
}

std::unique_ptr<TEventLoop::TSubscription> TWin32EventLoop::CallAfter(
    std::chrono::milliseconds delay, std::function<void()> callback) {
    if (LoopWindow() == nullptr) {
        throw std::runtime_error("no message window for the timers");
    }
    const UINT_PTR id = g_nextId++;
    g_timers[id] = std::move(callback);
    HANDLE timer = nullptr;
    const DWORD ms = static_cast<DWORD>(std::max<std::chrono::milliseconds::rep>(delay.count(), 0));
    if (!CreateTimerQueueTimer(&timer, nullptr, PoolTimerFired, reinterpret_cast<PVOID>(id), ms, 0,
                               WT_EXECUTEONLYONCE)) {
        g_timers.erase(id);
        throw std::runtime_error("CreateTimerQueueTimer failed");
    }
    return std::make_unique<TTimer>(id, timer);
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
