// A rectangle in pixels: a window on the screen, a control in its form.
#pragma once

struct TBounds {
    int Left = 0;
    int Top = 0;
    int Width = 0;
    int Height = 0;
    bool operator==(const TBounds&) const = default;
};
