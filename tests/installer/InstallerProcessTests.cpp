#include <gtest/gtest.h>

#include "Engine.h"
#include "InstallerTestSupport.h"
#include "InstanceLock.h"
#include "ProductTexts.h"
#include "Text.h"

using namespace testing_support;

namespace {

std::string builtProgram(const char* name)
{
    const std::string tests = thisProgram().substr(0, thisProgram().rfind('\\') + 1);
    return tests + "..\\installer\\" + name;
}

PROCESS_INFORMATION startProgram(const std::string& exe, const std::string& arguments = "")
{
    std::string commandLine = "\"" + exe + "\" " + arguments;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    CreateProcessA(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process);
    return process;
}

// The exit code, or STILL_ACTIVE when the process did not end within `ms`.
DWORD exitCodeWithin(const PROCESS_INFORMATION& process, DWORD ms)
{
    DWORD code = STILL_ACTIVE;
    if (WaitForSingleObject(process.hProcess, ms) == WAIT_OBJECT_0)
        GetExitCodeProcess(process.hProcess, &code);
    else
        TerminateProcess(process.hProcess, 99);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return code;
}

struct Found {
    DWORD process;
    HWND window = nullptr;
};

// The installer window of `process`.
HWND installerWindowOf(DWORD process)
{
    Found found{process};
    EnumWindows(
        [](HWND window, LPARAM data) WINAPI -> BOOL {
            auto* found = reinterpret_cast<Found*>(data);
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            char title[64] = {};
            GetWindowTextA(window, title, sizeof title);
            if (owner == found->process && std::string(title) == product::installerTitle) {
                found->window = window;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found.window;
}

}  // namespace

// The installer starts with its manifest (system DLLs pinned to the system folder) and ends with 0 when its
// window is closed as Alt+F4 or the taskbar close it.
TEST(InstallerProcess, StartsItsWindowAndEndsWithZeroWhenTheWindowIsClosed)
{
    const PROCESS_INFORMATION installer = startProgram(builtProgram("FeijingSetup.exe"));
    ASSERT_TRUE(installer.hProcess);
    HWND window = nullptr;
    pumpUntil([&] { return (window = installerWindowOf(installer.dwProcessId)) != nullptr; }, 30000);
    EXPECT_TRUE(window) << "the installer window";
    if (window)
        PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_EQ(exitCodeWithin(installer, 15000), 0u);
}

// One installer or uninstaller at a time: a second start brings the running one to the front and ends
// with 0, without a window of its own.
TEST(InstallerProcess, SecondStartBringsTheRunningOneToTheFrontAndEndsWithZero)
{
    InstanceLock running;
    ASSERT_TRUE(running.acquire());
    HWND window = CreateWindowExW(0, toWide(engineWindowClass).c_str(), toWide(product::installerTitle).c_str(),
                                  WS_OVERLAPPEDWINDOW, 100, 100, 300, 200, nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(window);
    ShowWindow(window, SW_SHOWMINIMIZED);
    ASSERT_TRUE(IsIconic(window));

    PROCESS_INFORMATION second = startProgram(builtProgram("FeijingSetup.exe"));
    ASSERT_TRUE(second.hProcess);
    const DWORD secondId = second.dwProcessId;
    HWND ownWindow = nullptr;
    pumpUntil([&] {
        ownWindow = ownWindow ? ownWindow : installerWindowOf(secondId);
        return WaitForSingleObject(second.hProcess, 0) == WAIT_OBJECT_0;
    }, 20000);
    EXPECT_EQ(exitCodeWithin(second, 0), 0u);
    EXPECT_FALSE(ownWindow) << "the second start opened a window";
    EXPECT_FALSE(IsIconic(window)) << "the running installer was not brought back";
    DestroyWindow(window);

    // An uninstaller holds the lock (no installer window): the installer still does not start.
    second = startProgram(builtProgram("FeijingSetup.exe"));
    ownWindow = nullptr;
    const DWORD laterId = second.dwProcessId;
    pumpUntil([&] {
        ownWindow = ownWindow ? ownWindow : installerWindowOf(laterId);
        return WaitForSingleObject(second.hProcess, 0) == WAIT_OBJECT_0;
    }, 20000);
    EXPECT_EQ(exitCodeWithin(second, 0), 0u);
    EXPECT_FALSE(ownWindow);
}

// "/?" shows the options and their exit codes in a message box, and ends with 0.
TEST(InstallerProcess, HelpShowsTheOptionsAndEndsWithZero)
{
    DialogWatcher box(product::installerTitle, IDOK);
    const PROCESS_INFORMATION installer = startProgram(builtProgram("FeijingSetup.exe"), "/?");
    ASSERT_TRUE(installer.hProcess);
    EXPECT_TRUE(box.waitAnswered());
    EXPECT_EQ(exitCodeWithin(installer, 15000), 0u);
    ASSERT_EQ(box.texts.size(), 1u);
    for (const char* option : {"/S\t", "/D=", "/LOG=", "/?\t", "6 "})
        EXPECT_NE(box.texts[0].find(option), std::string::npos) << option;
}
