#include <gtest/gtest.h>

#include <thread>

#include "TestFolder.h"
#include "checks/InstallerRestart.h"
#include "config/ModulePath.h"

namespace {

struct HandleCloser {
    void operator()(HANDLE handle) const {
        if (handle != nullptr) CloseHandle(handle);
    }
};
using CHandle = std::unique_ptr<void, HandleCloser>;

std::wstring UniqueName(const wchar_t* stem) {
    return std::wstring(stem) + std::to_wstring(GetCurrentProcessId()) + L"_" + std::to_wstring(GetTickCount64());
}

TEST(InstallerRestart, MutexNameFollowsTheInstaller) {
    EXPECT_EQ(InstallerMutexName(L"setup"), L"setup");
    EXPECT_EQ(InstallerMutexName(L""), L"Fennick_NoPackageName");
}

TEST(InstallerRestart, RunningMeansTheMutexExists) {
    const std::wstring name = UniqueName(L"QXChkErrTest_");
    EXPECT_FALSE(IsInstallerRunning(name));
    CHandle mutex(CreateMutexW(nullptr, FALSE, name.c_str()));
    ASSERT_TRUE(mutex);
    EXPECT_TRUE(IsInstallerRunning(name));
    mutex.reset();
    EXPECT_FALSE(IsInstallerRunning(name));

    // An object of another kind under that name does not stop an installer from starting.
    CHandle event(CreateEventW(nullptr, FALSE, FALSE, name.c_str()));
    ASSERT_TRUE(event);
    EXPECT_FALSE(IsInstallerRunning(name));
}

TEST(InstallerRestart, WaitEndsWhenTheInstallerLetsGo) {
    const std::wstring name = UniqueName(L"QXChkErrTest_");
    CHandle mutex(CreateMutexW(nullptr, FALSE, name.c_str()));
    ASSERT_TRUE(mutex);
    std::atomic<bool> cancel{false};

    EXPECT_EQ(WaitForInstallerToEnd(name, 300, 50, cancel), WaitOutcome::StillRunning);

    HANDLE raw = mutex.release();
    std::thread ender([raw] {
        Sleep(300);
        CloseHandle(raw);
    });
    EXPECT_EQ(WaitForInstallerToEnd(name, 20000, 50, cancel), WaitOutcome::Ended);
    ender.join();
}

TEST(InstallerRestart, WaitCanBeCancelled) {
    const std::wstring name = UniqueName(L"QXChkErrTest_");
    CHandle mutex(CreateMutexW(nullptr, FALSE, name.c_str()));
    std::atomic<bool> cancel{false};
    std::thread canceller([&cancel] {
        Sleep(200);
        cancel = true;
    });
    EXPECT_EQ(WaitForInstallerToEnd(name, 20000, 50, cancel), WaitOutcome::Cancelled);
    canceller.join();
}

TEST(InstallerRestart, StartsFennickExeFromTheGivenFolder) {
    CTestFolder folder;
    EXPECT_EQ(StartInstaller(WithoutSlash(folder.Path())), 0);  // nothing there

    // The marker program beside this test stands in for the installer.
    std::wstring marker;
    ASSERT_EQ(MakeModuleFilePath(nullptr, L"marker_app.exe", marker), 1);
    ASSERT_TRUE(CopyFileW(marker.c_str(), (folder.Path() + L"Fennick.exe").c_str(), FALSE));
    CTestFolder markers;
    ASSERT_TRUE(SetEnvironmentVariableW(L"FENNICK_MARKER_DIR", markers.Path().c_str()));
    ASSERT_EQ(StartInstaller(WithoutSlash(folder.Path())), 1);

    const std::wstring started = markers.Path() + L"Fennick.exe.started";
    const ULONGLONG deadline = GetTickCount64() + 20000;
    while (GetFileAttributesW(started.c_str()) == INVALID_FILE_ATTRIBUTES && GetTickCount64() < deadline) Sleep(50);
    ASSERT_NE(GetFileAttributesW(started.c_str()), INVALID_FILE_ATTRIBUTES);
    SetEnvironmentVariableW(L"FENNICK_MARKER_DIR", nullptr);

    // Started in its own folder, without arguments.
    HANDLE file = CreateFileW(started.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    char text[4096] = {};
    DWORD read = 0;
    ReadFile(file, text, sizeof(text) - 1, &read, nullptr);
    CloseHandle(file);
    const std::string content(text, read);
    std::string expectedCwd;
    for (wchar_t c : WithoutSlash(folder.Path())) expectedCwd += static_cast<char>(c);
    EXPECT_NE(content.find("cwd=" + expectedCwd + "\r\n"), std::string::npos) << content;
    EXPECT_NE(content.find("Fennick.exe\"\r\n"), std::string::npos) << content;
}

}  // namespace
