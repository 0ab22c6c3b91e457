// Geometry and colours of the splash window.
#include "shell/splash_layout.h"

int BandTop(int band, int clientHeight) {
    volatile float h = (float)clientHeight * 0.00390625f;  // kept in single precision, as painted
    return (int)((float)band * h);
}

uint32_t BandColor(int band, uint32_t top, uint32_t bottom) {
    uint32_t color = 0;
    for (int shift = 0; shift <= 16; shift += 8) {
        int t = (int)((top >> shift) & 0xFF);
        int b = (int)((bottom >> shift) & 0xFF);
        int c = t + ((b - t) * band) / 256;
        color |= (uint32_t)(c & 0xFF) << shift;
    }
    return color;
}

int SplashFontHeight(int dpiY) {
    // MulDiv(48, dpiY, 72) rounds half away from zero.
    long long product = 48LL * dpiY;
    long long rounded = (product + 36) / 72;
    return -(int)rounded;
}
