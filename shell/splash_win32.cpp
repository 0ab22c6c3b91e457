// The splash window: a full-screen gradient with the saver's name; its timer starts the installation.
#include "shell/installer.h"

#include <cstdio>

#include "shell/splash_layout.h"

namespace {
void PaintSplash(HWND window) {
    // Smoothing is switched off so the large text keeps hard edges over the gradient; the flag ends
    // nonzero only when smoothing was on and has been switched off, so only then is it switched back.
    BOOL smoothing = FALSE;
    if (!SystemParametersInfoA(SPI_GETFONTSMOOTHING, 0, &smoothing, 0)) smoothing = FALSE;
    if (smoothing)
        smoothing = SystemParametersInfoA(SPI_SETFONTSMOOTHING, 0, NULL, SPIF_UPDATEINIFILE | SPIF_SENDCHANGE);

    RECT client;
    GetClientRect(window, &client);
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);

    for (int band = 0; band < BandCount; ++band) {
        RECT rect = {0, BandTop(band, client.bottom), client.right + 1, BandTop(band + 1, client.bottom)};
        HBRUSH brush = CreateSolidBrush(BandColor(band, GradientTop, GradientBottom));
        FillRect(dc, &rect, brush);
        DeleteObject(brush);
    }

    RECT frame = client;
    FrameRect(dc, &frame, (HBRUSH)GetStockObject(WHITE_BRUSH));
    InflateRect(&frame, -1, -1);
    FrameRect(dc, &frame, (HBRUSH)GetStockObject(WHITE_BRUSH));

    char text[272 + 1];
    std::snprintf(text, sizeof text, "%s Screen Saver", SaverTitle);

    int dpiX = GetDeviceCaps(dc, LOGPIXELSX);
    int dpiY = GetDeviceCaps(dc, LOGPIXELSY);
    HFONT font = CreateFontA(-MulDiv(48, dpiY, 72), 0, 0, 0, FW_DONTCARE, FALSE, FALSE, FALSE, ANSI_CHARSET,
                             OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, 0, "Arial");
    HGDIOBJ oldFont = SelectObject(dc, font);
    int oldMode = SetBkMode(dc, TRANSPARENT);
    COLORREF oldColor = SetTextColor(dc, RGB(0, 0, 0));

    RECT textRect = frame;
    textRect.left += dpiX / 3;
    textRect.top += dpiY / 4;
    DrawTextA(dc, text, -1, &textRect, DT_WORDBREAK | DT_NOPREFIX);
    OffsetRect(&textRect, -ShadowOffset, -ShadowOffset);
    SetTextColor(dc, RGB(255, 255, 255));
    DrawTextA(dc, text, -1, &textRect, DT_WORDBREAK | DT_NOPREFIX);

    SetTextColor(dc, oldColor);
    SetBkMode(dc, oldMode);
    SelectObject(dc, oldFont);
    DeleteObject(font);
    EndPaint(window, &paint);

    if (smoothing) SystemParametersInfoA(SPI_SETFONTSMOOTHING, 1, NULL, SPIF_UPDATEINIFILE | SPIF_SENDCHANGE);
}
}  // namespace

LRESULT CALLBACK SplashWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CREATE:
            ReadPackageHeader();
            SetWindowTextA(window, SaverTitle);
            SetTimer(window, StartTimerId, StartTimerInterval, NULL);
            return 0;
        case WM_PAINT:
            PaintSplash(window);
            return 0;
        case WM_TIMER:
            RunInstallSequence(window);
            return 0;
        case WM_DESTROY:
            PostQuitMessage(ExitStatus);  // 0, unless the installation could not write its files
            return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}
