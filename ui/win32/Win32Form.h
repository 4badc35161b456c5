// Draws a form description with Win32 controls, through the wide calls:
// each control created at its design bounds with its ID, text, font and tab
// order; texts converted from the description's cp932.
#pragma once

#include <windows.h>

#include <map>
#include <string>
#include <string_view>

#include "ui/FormDescription.h"

// The described font on the system at hand (kept for the program's run).
HFONT DescribedFont(const TFontDescription& font);

class TWin32Form {
  public:
    // Creates every control of the description inside form: each container's
    // controls in tab order (the order Tab visits them), then the rest.
    void Build(HWND form, const TFormDescription& description);

    const TFormDescription& Description() const { return *description_; }
    HWND operator[](std::string_view name) const;

    // Sizes a label to its text; a label that would run into the next label
    // on its line (a font wider than the designed one) gets a pixel smaller font.
    void FitLabel(std::string_view name) const;

    // The popup menu's items with their shortcut texts, and the accelerators
    // of their shortcuts; the caller destroys both.
    HMENU CreatePopupMenu(std::string_view menu) const;
    HACCEL CreateAccelerators(std::string_view menu) const;

  private:
    void BuildChildren(const std::string& parent);

    const TFormDescription* description_ = nullptr;
    std::map<std::string, HWND, std::less<>> windows_;
};
