// Window layouts are given in twips (1/1440 inch); on screen 15 twips make one pixel.
#pragma once

#include <QRect>

namespace ui {

constexpr int twips(int value) {
    return (value + 7) / 15;
}

inline QRect twipsRect(int left, int top, int width, int height) {
    return QRect(twips(left), twips(top), twips(width), twips(height));
}

} // namespace ui
