#include <gtest/gtest.h>

#include "app/Names.h"
#include "support/TestSupport.h"

namespace {

std::wstring programPath() {
    return testFolder() + L"..\\mossgate.exe";
}

HWND waitForCorner() {
    HWND corner = nullptr;
    waitFor([&] { return (corner = FindWindowW(names::WindowClass, nullptr)) != nullptr; }, 30000);
    return corner;
}

TEST(Program, SecondInstanceEndsWithMinusOneAndExitEndsWithZero) {
    HANDLE first = launch(L"\"" + programPath() + L"\"");
    ASSERT_NE(first, nullptr);
    HWND corner = waitForCorner();
    ASSERT_NE(corner, nullptr);

    HANDLE second = launch(L"\"" + programPath() + L"\"");
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(waitExit(second), static_cast<DWORD>(-1));
    CloseHandle(second);
    EXPECT_EQ(FindWindowW(names::WindowClass, nullptr), corner) << "the first instance is untouched";

    PostMessageW(corner, WM_COMMAND, ExitCommand, 0);
    EXPECT_EQ(waitExit(first), 0u);
    CloseHandle(first);
}

TEST(Program, ClosingTheCornerWindowEndsTheProgram) {
    HANDLE program = launch(L"\"" + programPath() + L"\"");
    ASSERT_NE(program, nullptr);
    HWND corner = waitForCorner();
    ASSERT_NE(corner, nullptr);
    PostMessageW(corner, WM_CLOSE, 0, 0);
    EXPECT_EQ(waitExit(program), 0u);
    CloseHandle(program);
}

} // namespace
