// Geometry and colours of the splash window's gradient, text and frame, free of any window system.
#pragma once

#include <cstdint>

constexpr int BandCount = 256;
constexpr uint32_t GradientTop = 0x00FF0000;     // 0x00BBGGRR: blue
constexpr uint32_t GradientBottom = 0x00000000;  // black

// Band i runs from BandTop(i, H) up to, not including, BandTop(i + 1, H): the products i * h with the
// band height h = H / 256 held in single precision, truncated toward zero.
int BandTop(int band, int clientHeight);

// The band's colour: per component t + ((b - t) * i) / 256, truncating, reduced to a byte.
uint32_t BandColor(int band, uint32_t top, uint32_t bottom);

// The text rectangle's left and top: inside the doubled frame, moved by a third and a quarter inch.
inline int TextLeft(int dpiX) { return 1 + dpiX / 3; }
inline int TextTop(int dpiY) { return 1 + dpiY / 4; }
constexpr int ShadowOffset = 2;  // the white text lies this far up and left of the black one

// 48 points as a character height at the given vertical resolution (MulDiv rounding), negated.
int SplashFontHeight(int dpiY);
