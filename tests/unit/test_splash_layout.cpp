// The splash window's bands, colours and text placement.
#include <gtest/gtest.h>

#include "shell/splash_layout.h"

TEST(SplashBands, CoverEveryRowWithoutGapOrOverlap) {
    for (int height : {768, 1000, 100, 1, 256, 1080, 4000}) {
        EXPECT_EQ(BandTop(0, height), 0);
        EXPECT_EQ(BandTop(BandCount, height), height) << height;
        for (int band = 0; band < BandCount; ++band) {
            int rows = BandTop(band + 1, height) - BandTop(band, height);
            EXPECT_GE(rows, height / 256) << "height " << height << " band " << band;
            EXPECT_LE(rows, height / 256 + 1) << "height " << height << " band " << band;
        }
    }
    for (int band = 0; band < BandCount; ++band) EXPECT_EQ(BandTop(band, 768), band * 3);
    EXPECT_EQ(BandTop(1, 1000), 3);  // band 0 covers rows 0 to 2
    EXPECT_EQ(BandTop(255, 1000), 996);
}

TEST(SplashBands, ColoursRunFromBlueToNearBlack) {
    struct Case { int band; uint32_t color; } cases[] = {
        {0, 0x00FF0000}, {1, 0x00FF0000}, {128, 0x00800000}, {255, 0x00010000},
    };
    for (const Case& c : cases) EXPECT_EQ(BandColor(c.band, GradientTop, GradientBottom), c.color) << c.band;
    for (int band = 0; band < BandCount; ++band)
        EXPECT_EQ(BandColor(band, GradientTop, GradientBottom), (uint32_t)(255 - 255 * band / 256) << 16);
    // Each component on its own, truncating toward zero, reduced to a byte.
    EXPECT_EQ(BandColor(128, 0x000000FF, 0x00FF0000), 0x007F0080u);
}

TEST(SplashText, PlacementAtNinetySixDpi) {
    EXPECT_EQ(SplashFontHeight(96), -64);
    EXPECT_EQ(SplashFontHeight(120), -80);
    EXPECT_EQ(TextLeft(96), 33);
    EXPECT_EQ(TextTop(96), 25);
    EXPECT_EQ(TextLeft(96) - ShadowOffset, 31);
    EXPECT_EQ(TextTop(96) - ShadowOffset, 23);
}
