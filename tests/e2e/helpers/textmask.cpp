// textmask: renders a text the way the splash window lays it out and writes its ink as a PBM bitmap.
//
// Usage: textmask OUT.pbm WIDTH HEIGHT TEXT
// Draws TEXT with DrawTextA (DT_WORDBREAK | DT_NOPREFIX) into a WIDTH x HEIGHT rectangle at the
// origin of a memory bitmap, in 48-point "Arial" at the screen's vertical resolution, without
// anti-aliasing, and writes the inked pixels as a plain PBM (P1, 1 = ink). The font is created with
// the splash window's parameters except the quality, which is fixed to NONANTIALIASED_QUALITY so
// that the result does not depend on the font-smoothing setting. Prints "face=<face> height=<tmHeight>"
// on stdout. Exits 0, or 1 on a usage error or a GDI failure.
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

int main(int argc, char **argv)
{
    if (argc != 5) {
        fprintf(stderr, "usage: textmask OUT.pbm WIDTH HEIGHT TEXT\n");
        return 1;
    }
    int width = atoi(argv[2]), height = atoi(argv[3]);
    if (width <= 0 || height <= 0)
        return 1;
    HDC screen = GetDC(0);
    HDC dc = CreateCompatibleDC(screen);
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = width;
    bi.bmiHeader.biHeight = -height;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    void *bits = 0;
    HBITMAP bmp = CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &bits, 0, 0);
    if (!bmp || !bits)
        return 1;
    HGDIOBJ oldBmp = SelectObject(dc, bmp);
    memset(bits, 0, (size_t)width * height * 4);
    HFONT font = CreateFontA(-MulDiv(48, GetDeviceCaps(screen, LOGPIXELSY), 72), 0, 0, 0, FW_DONTCARE,
                             FALSE, FALSE, FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                             NONANTIALIASED_QUALITY, 0, "Arial");
    if (!font)
        return 1;
    HGDIOBJ oldFont = SelectObject(dc, font);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(255, 255, 255));
    RECT r = {0, 0, width, height};
    DrawTextA(dc, argv[4], -1, &r, DT_WORDBREAK | DT_NOPREFIX);
    GdiFlush();
    char face[64] = "";
    GetTextFaceA(dc, sizeof face, face);
    TEXTMETRICA tm = {};
    GetTextMetricsA(dc, &tm);

    FILE *out = fopen(argv[1], "wb");
    if (!out)
        return 1;
    fprintf(out, "P1\n%d %d\n", width, height);
    const unsigned *px = (const unsigned *)bits;
    for (int y = 0; y < height; y++) {
        for (int x = 0; x < width; x++)
            fputc((px[(size_t)y * width + x] & 0xFFFFFF) ? '1' : '0', out);
        fputc('\n', out);
    }
    fclose(out);
    printf("face=%s height=%ld\n", face, tm.tmHeight);
    SelectObject(dc, oldFont);
    DeleteObject(font);
    SelectObject(dc, oldBmp);
    DeleteObject(bmp);
    DeleteDC(dc);
    ReleaseDC(0, screen);
    return 0;
}
