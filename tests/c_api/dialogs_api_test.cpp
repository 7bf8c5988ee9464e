// The dialog exports as an application without a display sees them: they
// fail with code 4, change nothing, and never bring GTK into the process.
#include <gtest/gtest.h>
#include <vantix/exports.h>

#include <cstdlib>
#include <fstream>
#include <string>

namespace {

bool Mapped(const std::string& library) {
    std::ifstream maps("/proc/self/maps");
    std::string line;
    while (std::getline(maps, line)) {
        if (line.find(library) != std::string::npos) return true;
    }
    return false;
}

TEST(DialogExports, WithoutADisplayCode4NothingChangedAndNoToolkitLoaded) {
    unsetenv("DISPLAY");
    const int32_t handle = Vantix_Initialize(nullptr);
    ASSERT_NE(handle, 0);
    EXPECT_FALSE(Mapped("libgtk-3"));
    ASSERT_EQ(Vantix_SetBrightness(handle, 12), 1);
    for (auto open : {Vantix_SetCameraDlg, Vantix_SetImageDlg, Vantix_SetAnalogDlg}) {
        EXPECT_EQ(open(handle, nullptr), 0);
        EXPECT_EQ(Vantix_GetLastError(handle), 4);
    }
    int32_t ok = 0;
    EXPECT_EQ(Vantix_GetBrightness(handle, &ok), 12);
    EXPECT_FALSE(Mapped("libgtk-3"));
    EXPECT_FALSE(Mapped("libvantix-dialogs-gtk"));
    EXPECT_EQ(Vantix_Release(handle), 1);
}

}  // namespace
