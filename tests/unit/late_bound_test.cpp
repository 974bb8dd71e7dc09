// The run-time look-ups where the platform lacks what both Wines have, and
// the program's stand-ins for parts of the C++ runtime. A call or a DLL is
// made missing through the seam (support/seam.h), as on the Windows that
// predates it; everything Wine has is asked for real.
#include <windows.h>

#include <gtest/gtest.h>

#include <exception>
#include <string>

#include "platform/late_bound.h"
#include "seam.h"

namespace {

// Whether path names a file directly in folder, in any case.
bool IsDirectlyIn(const WCHAR* path, const WCHAR* folder)
{
    std::wstring name(path);
    size_t length = lstrlenW(folder);
    return name.size() > length + 1 && name[length] == L'\\' &&
           name.find(L'\\', length + 1) == std::wstring::npos &&
           lstrcmpiW(name.substr(0, length).c_str(), folder) == 0;
}

class LateBoundTest : public ::testing::Test {
  protected:
    void TearDown() override { SeamRestoreAll(); }
};

// A missing call does nothing and gives the failure its callers test for:
// nothing opened, no box, no folder, no key, and for user32 and kernel32
// ERROR_PROC_NOT_FOUND as the last error.
TEST_F(LateBoundTest, AMissingCallDoesNothingAndFailsAsItsCallersExpect)
{
    for (const char* name : {"NtOpenFile", "SHGetFolderPathW", "RegOpenKeyExW", "MessageBoxW", "GetThreadId",
                             "WTSQuerySessionInformationW", "SetDllDirectoryW"}) {
        ASSERT_TRUE(SeamRemove(name)) << name;
    }

    HANDLE handle = INVALID_HANDLE_VALUE;
    EXPECT_EQ(late::NtOpenFile(&handle, 0, nullptr, nullptr, 0, 0), static_cast<NTSTATUS>(0xC000007A));
    EXPECT_EQ(handle, INVALID_HANDLE_VALUE);

    WCHAR path[MAX_PATH] = L"untouched";
    EXPECT_EQ(late::SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, path), E_NOTIMPL);
    EXPECT_STREQ(path, L"untouched");

    HKEY key = nullptr;
    EXPECT_EQ(late::RegOpenKeyExW(HKEY_CURRENT_USER, L"Software", 0, KEY_READ, &key), ERROR_PROC_NOT_FOUND);
    EXPECT_EQ(key, nullptr);

    LPWSTR buffer = nullptr;
    DWORD bytes = 0;
    EXPECT_FALSE(late::WTSQuerySessionInformationW(nullptr, 0, WTSUserName, &buffer, &bytes));
    EXPECT_EQ(buffer, nullptr);

    struct User32OrKernel32 {
        const char* name;
        bool (*failed)();
    };
    const User32OrKernel32 calls[] = {
        {"MessageBoxW", [] { return late::MessageBoxW(nullptr, L"never shown", L"", MB_OK) == 0; }},
        {"GetThreadId", [] { return late::GetThreadId(GetCurrentThread()) == 0; }},
        {"SetDllDirectoryW", [] { return !late::SetDllDirectoryW(L""); }},
    };
    for (const User32OrKernel32& call : calls) {
        SetLastError(0);
        EXPECT_TRUE(call.failed()) << call.name;
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PROC_NOT_FOUND)) << call.name;
    }
}

// A DLL that is not in the process yet is loaded from the system folder or
// not at all: where that folder cannot be told (GetSystemDirectoryW: "If the
// function fails, the return value is zero") its calls are missing; none is
// searched for anywhere else. Where AddDllDirectory is missing (Windows 7
// and Vista without KB2533623), the DLL is still loaded by its full path.
UINT WINAPI NoSystemFolder(LPWSTR, UINT)
{
    SetLastError(ERROR_PATH_NOT_FOUND);
    return 0;
}

TEST_F(LateBoundTest, ADllNotLoadedYetComesFromTheSystemFolderOrNotAtAll)
{
    // wtsapi32: in no test program's imports.
    ASSERT_EQ(GetModuleHandleW(L"wtsapi32.dll"), nullptr) << "loaded already: this test shows nothing";
    LPWSTR buffer = nullptr;
    DWORD bytes = 0;

    ASSERT_TRUE(SeamReplaceWith("GetSystemDirectoryW", &NoSystemFolder));
    SetLastError(0);
    EXPECT_FALSE(late::WTSQuerySessionInformationW(WTS_CURRENT_SERVER_HANDLE, WTS_CURRENT_SESSION,
                                                   WTSUserName, &buffer, &bytes));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PROC_NOT_FOUND));
    EXPECT_EQ(GetModuleHandleW(L"wtsapi32.dll"), nullptr);

    SeamRestoreAll();
    ASSERT_TRUE(SeamRemove("AddDllDirectory"));
    ASSERT_TRUE(late::WTSQuerySessionInformationW(WTS_CURRENT_SERVER_HANDLE, WTS_CURRENT_SESSION, WTSUserName,
                                                  &buffer, &bytes))
        << GetLastError();
    late::WTSFreeMemory(buffer);
    HMODULE loaded = GetModuleHandleW(L"wtsapi32.dll");
    ASSERT_NE(loaded, nullptr);
    WCHAR loadedPath[MAX_PATH] = {};
    WCHAR systemFolder[MAX_PATH] = {};
    ASSERT_NE(GetModuleFileNameW(loaded, loadedPath, MAX_PATH), 0u);
    ASSERT_NE(GetSystemDirectoryW(systemFolder, MAX_PATH), 0u);
    EXPECT_TRUE(IsDirectlyIn(loadedPath, systemFolder)) << "loaded from elsewhere";
}

// The runtime's calls of GetThreadId go through the program's own import
// slot (thread_id.cpp), which answers as kernel32 does, and fails as for a
// failure where the call is missing (before Windows Vista).
TEST_F(LateBoundTest, TheGetThreadIdImportAnswersAsKernel32AndFailsWhereItIsMissing)
{
    HANDLE self = GetCurrentThread();
    EXPECT_EQ(::GetThreadId(self), GetCurrentThreadId());
    ASSERT_TRUE(SeamRemove("GetThreadId"));
    SetLastError(0);
    EXPECT_EQ(::GetThreadId(self), 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PROC_NOT_FOUND));
}

// What ends the program when the runtime runs out of memory: at once, with
// the exit code of every run, and never through the C runtime's abort
// (exit code 3, and in a GUI program a box that nobody may be there to
// answer).
TEST(TerminateHandlerDeathTest, EndsTheProcessAtOnceWithExitCodeZero)
{
    EXPECT_EXIT(std::terminate(), ::testing::ExitedWithCode(0), "");
}

} // namespace
