#pragma once
// VnColor: a colour as red, green, blue and alpha components from 0 to 1, opaque unless an alpha
// is given. One type for the store's tag labels and the pages' backgrounds.

struct VnColor {
    double red = 0;
    double green = 0;
    double blue = 0;
    double alpha = 1;
    // Nothing at all: every component 0.
    static constexpr VnColor clearColor() { return {0, 0, 0, 0}; }
    bool operator==(const VnColor&) const = default;
};
