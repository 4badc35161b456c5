// The Win32 face of the properties dialog: a modeless window, created hidden.
#pragma once

#include <windows.h>

#include "ui/Unit2.h"
#include "ui/win32/Win32Form.h"

class TForm2Window : public TForm2View {
  public:
    TForm2Window(const TCard& propertyCard, HWND owner);
    ~TForm2Window();
    TForm2Window(const TForm2Window&) = delete;
    TForm2Window& operator=(const TForm2Window&) = delete;

    TForm2 Form;
    HWND Hwnd() const { return hwnd_; }
    static bool RegisterClass();

    void SetCaption(const std::string& text) override;
    void SetBoxText(TPropertyBox box, const std::string& text) override;
    void ShowModeless() override;
    void Hide() override;

  private:
    static LRESULT CALLBACK WndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);

    HWND hwnd_ = nullptr;
    TWin32Form form_;
    TFormDescription design_;  // as this screen draws it
    HWND boxes_[6] = {};
    HWND focus_ = nullptr;
};
