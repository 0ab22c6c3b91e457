// The centring of the license and ordering dialogs on the primary display.
#include <gtest/gtest.h>

#include "shell/center.h"

TEST(CenteredOrigin, HalvesEachSideTruncatingTowardZero) {
    struct Case { int screen, extent, origin; } cases[] = {
        {1023, 400, 311},  // 511 - 200
        {1024, 400, 312},
        {1024, 401, 312},  // 512 - 200: the odd pixel goes right
        {768, 262, 253},
        {1024, 1024, 0},
        {640, 800, -80},   // wider than the screen: negative, nothing keeps it on the screen
        {1023, 2047, -512},
        {0, 0, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CenteredOrigin(c.screen, c.extent), c.origin) << c.extent << " on " << c.screen;
}
