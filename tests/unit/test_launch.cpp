// The saver launch's choices: the DirectX 7 offer by system version and the root directory.
#include <gtest/gtest.h>

#include <cstring>

#include "shell/launch_logic.h"

TEST(DirectXOffer, QuestionAndPageBySystemVersion) {
    const char* none = nullptr;
    struct Case { const char* system; uint32_t platform, major, minor; bool ask; const char* page; } cases[] = {
        {"NT 3.51", 2, 3, 51, false, none},
        {"NT 4.0", 2, 4, 0, false, none},
        {"NT 4.x", 2, 4, 90, false, none},
        {"2000", 2, 5, 0, true, DirectXGeneralPage},
        {"XP", 2, 5, 1, true, DirectXGeneralPage},
        {"7", 2, 6, 1, true, DirectXGeneralPage},
        {"95", 1, 4, 0, true, DirectXWin95Page},
        {"98", 1, 4, 10, true, DirectXGeneralPage},
        {"Me", 1, 4, 90, true, DirectXGeneralPage},
        {"9x 5.0", 1, 5, 0, true, DirectXGeneralPage},
        {"9x 3.0", 1, 3, 0, true, DirectXGeneralPage},
        {"Win32s 4.0", 0, 4, 0, true, DirectXGeneralPage},  // only platform 1 gets the 95 page
        {"zeroed record", 0, 0, 0, true, DirectXGeneralPage},
        {"unknown platform", 3, 4, 0, true, DirectXGeneralPage},
    };
    for (const Case& c : cases) {
        DirectXOffer offer = ChooseDirectXOffer(c.platform, c.major, c.minor);
        EXPECT_EQ(offer.Ask, c.ask) << c.system;
        EXPECT_EQ(offer.Page, c.page) << c.system;
    }
}

TEST(DirectXOffer, PagesAreTheVendorsAddresses) {
    EXPECT_STREQ(DirectXWin95Page, "http://www.microsoft.com/downloads/release.asp?ReleaseID=27741");
    EXPECT_STREQ(DirectXGeneralPage, "http://www.microsoft.com/windows/directx/");
}

TEST(CutAfterFirstBackslash, KeepsTheDriveRoot) {
    struct Case { const char* directory; bool cut; const char* result; } cases[] = {
        {"C:\\WINDOWS", true, "C:\\"},
        {"C:\\WINNT\\SYSTEM32", true, "C:\\"},  // the first backslash, not the last
        {"C:\\", true, "C:\\"},
        {"\\\\SERVER\\SHARE", true, "\\"},
        {"C:", false, "C:"},
        {"", false, ""},
    };
    for (const Case& c : cases) {
        char text[261];
        std::strcpy(text, c.directory);
        EXPECT_EQ(CutAfterFirstBackslash(text), c.cut) << c.directory;
        EXPECT_STREQ(text, c.result) << c.directory;
    }
}
