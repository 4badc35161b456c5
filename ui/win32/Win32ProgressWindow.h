// The Win32 face of the hand-off's progress window: a small owned popup with
// one line of text and "中止", which (like its close box) runs the cancel.
#pragma once

#include <windows.h>

#include <functional>

#include "ui/Form1View.h"

class TWin32ProgressWindow final : public TProgressView {
  public:
    TWin32ProgressWindow(HWND owner, std::function<void()> cancel);
    ~TWin32ProgressWindow();
    TWin32ProgressWindow(const TWin32ProgressWindow&) = delete;
    TWin32ProgressWindow& operator=(const TWin32ProgressWindow&) = delete;

    static bool RegisterClass();

    void ShowProgress(const std::string& caption, const std::string& text,
                      const std::string& button) override;
    void HideProgress() override;
    bool ProgressVisible() const override;

    HWND Hwnd() const { return hwnd_; }

  private:
    static LRESULT CALLBACK WndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    void Layout();

    HWND owner_;
    std::function<void()> cancel_;
    HWND hwnd_ = nullptr;
    HWND Label1 = nullptr;
    HWND B_CANCEL = nullptr;
    int textWidth_ = 0;
};
