// The rest of the Win32 subset: cursor count, resources, display-mode test, counter, libraries.
#include <gtest/gtest.h>
#include <windows.h>

#include "host/host.h"
#include "win32/modules.h"
#include "win32/resources.h"
#include "win32/testing.h"

namespace {

const win32::ResourceScript resources({{103, "Nimbra"}, {109, "NIMBRA"}}, {107, 108});

class Win32System : public ::testing::Test {
protected:
    void SetUp() override { configure(false); }
    void TearDown() override { win32::testing::reset(); }
    void configure(bool refuseModes) {
        host::Settings s;
        s.video = host::VideoBackend::Headless;
        s.fixedClock = true;
        s.fixedFramesPerSecond = 50;
        s.refuseDisplayModes = refuseModes;
        host::overrideSettings(s);
        win32::testing::reset();
    }
};

TEST_F(Win32System, ShowCursorKeepsADisplayCount) {
    EXPECT_EQ(ShowCursor(FALSE), -1);
    EXPECT_EQ(ShowCursor(FALSE), -2);
    EXPECT_EQ(ShowCursor(TRUE), -1);
    EXPECT_EQ(ShowCursor(TRUE), 0);
}

TEST_F(Win32System, LoadStringReadsTheProgramsStringTable) {
    char buffer[100];
    EXPECT_EQ(LoadStringA(GetModuleHandleA(nullptr), 103, buffer, 100), 6);
    EXPECT_STREQ(buffer, "Nimbra");
    EXPECT_EQ(LoadStringA(GetModuleHandleA(nullptr), 109, buffer, 4), 3);   // cut to fit, terminated
    EXPECT_STREQ(buffer, "NIM");
    EXPECT_EQ(LoadStringA(GetModuleHandleA(nullptr), 999, buffer, 100), 0);
    EXPECT_NE(LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(107)), nullptr);
    EXPECT_EQ(LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(110)), nullptr);
    EXPECT_NE(LoadCursorA(nullptr, IDC_ARROW), nullptr);
    EXPECT_NE(LoadCursorA(nullptr, IDC_NO), nullptr);
    EXPECT_NE(GetStockObject(BLACK_BRUSH), nullptr);
}

TEST_F(Win32System, DisplayModeTestAnswersWithoutChangingAnything) {
    DEVMODEA mode{};
    mode.dmSize = sizeof mode;
    mode.dmBitsPerPel = 32;
    mode.dmPelsWidth = 640;
    mode.dmPelsHeight = 480;
    mode.dmFields = DM_BITSPERPEL | DM_PELSWIDTH | DM_PELSHEIGHT;
    EXPECT_EQ(ChangeDisplaySettingsA(&mode, CDS_TEST), DISP_CHANGE_SUCCESSFUL);
    EXPECT_EQ(ChangeDisplaySettingsA(nullptr, 0), DISP_CHANGE_SUCCESSFUL);
    configure(true);
    EXPECT_EQ(ChangeDisplaySettingsA(&mode, CDS_TEST), DISP_CHANGE_BADMODE);
}

TEST_F(Win32System, PerformanceCounterIsTheShowClock) {
    LARGE_INTEGER frequency, before, after;
    ASSERT_TRUE(QueryPerformanceFrequency(&frequency));
    ASSERT_TRUE(QueryPerformanceCounter(&before));
    host::present(false);
    ASSERT_TRUE(QueryPerformanceCounter(&after));
    EXPECT_EQ(frequency.QuadPart, 50'000'000);
    EXPECT_EQ(after.QuadPart - before.QuadPart, frequency.QuadPart / 50);
}

void* fakeExport(const char* name) {
    static int marker;
    return std::string(name) == "Present" ? &marker : nullptr;
}

TEST_F(Win32System, LibrariesAreFoundByFileNameWithoutRegardToCase) {
    ASSERT_TRUE(win32::registerModule("fake.dll", fakeExport));
    HMODULE module = LoadLibraryA("C:\\WINDOWS\\SYSTEM\\FAKE.DLL");
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(LoadLibraryA("fake"), module);
    EXPECT_NE(GetProcAddress(module, "Present"), nullptr);
    EXPECT_EQ(GetProcAddress(module, "Absent"), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_PROC_NOT_FOUND));
    EXPECT_EQ(GetProcAddress(module, MAKEINTRESOURCEA(1)), nullptr);
    EXPECT_TRUE(FreeLibrary(module));
    EXPECT_TRUE(FreeLibrary(module));
    EXPECT_FALSE(FreeLibrary(module));
    win32::unregisterModule("fake.dll");
    EXPECT_EQ(LoadLibraryA("nosuch.dll"), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_MOD_NOT_FOUND));
}

}  // namespace
