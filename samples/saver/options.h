// The sample saver's command line and its "key=value" settings file, read without the system.
#pragma once

#include <cstddef>
#include <cstdint>

// What the system asks of a screen saver: /s run full screen, /c show its settings (over the window
// given by "/c:HWND", if any), /p HWND (or /l HWND) draw into that preview window, /a change a
// password (nothing to do here). The switch letter is read without regard to case, after "/" or "-".
// No argument at all runs it full screen, as the installer starts it; an unknown switch does too.
enum class SaverMode { Screen, Settings, Preview, Password };

struct SaverCommand {
    SaverMode Mode;
    uintptr_t Window;  // the window handle's value after /p, /l or /c (decimal), 0 when none is given
};

SaverCommand ParseSaverCommand(const char* arguments);

constexpr int MaxBands = 6;

// The look, from the data file <title>.dat. Every value has a default and a range; a value out of
// its range is brought into it, one that is not a number is ignored.
struct SaverSettings {
    int Speed;                  // speed=1..10 (default 4): how fast the bands drift
    int Bands;                  // bands=1..6 (default 4): how many curtains of light
    uint32_t Colours[MaxBands]; // colours=RRGGBB,RRGGBB,... (also "colors"): one per band, repeated
    int ColourCount;            //   when fewer are given than there are bands
    int Stars;                  // stars=0..400 (default 120)
};

void DefaultSaverSettings(SaverSettings* settings);

// Applies the settings file's lines to *settings: "key=value", blanks around either ignored, keys in
// any case; lines starting with ';' or '#', unknown keys and bad values are skipped. Returns how many
// lines changed a setting.
int ReadSaverSettings(const char* text, size_t length, SaverSettings* settings);

// The text of the settings box: where the settings come from (found or not) and their values now.
// False, with out empty, when it does not fit.
bool DescribeSaverSettings(char* out, size_t size, const char* title, const char* path, bool found,
                           const SaverSettings& settings);
