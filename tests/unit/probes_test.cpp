#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "check/probes.h"
#include "host_keys.h"
#include "test_registry.h"
#include "test_tree.h"
#include "text.h"

namespace {

class ProbeInstalledTest : public ::testing::Test {
  protected:
    void SetUp() override
    {
        ClearHostKeys();
        folder_ = TempFolder() + L"probe-uninstaller-folder";
        CreateDirectoryW(folder_.c_str(), nullptr);
        uninstaller_ = TempFolder() + L"probe-uninstaller.exe";
        ASSERT_TRUE(WriteTextFile(uninstaller_, ""));
    }
    void TearDown() override
    {
        ClearHostKeys();
        DeleteFileW(uninstaller_.c_str());
        RemoveDirectoryW(folder_.c_str());
    }

    std::wstring uninstaller_;
    std::wstring folder_;
};

TEST_F(ProbeInstalledTest, NoEntryMeansNotInstalled)
{
    EXPECT_FALSE(ProbeInstalled());
}

TEST_F(ProbeInstalledTest, EachRowWithABarePathToAFileCounts)
{
    for (const WCHAR* row : kUninstallKeys) {
        ASSERT_EQ(WriteText(HKEY_LOCAL_MACHINE, row, L"UninstallString", uninstaller_), ERROR_SUCCESS);
        EXPECT_TRUE(ProbeInstalled()) << testing::PrintToString(row);
        ClearHostKeys();
    }
}

TEST_F(ProbeInstalledTest, TextThatIsNotABarePathToAReadableFileDoesNotCount)
{
    const std::wstring texts[] = {
        L"\"" + uninstaller_ + L"\"",
        uninstaller_ + L" /uninstall",
        L"MsiExec.exe /X{6F1C2A90-3B7E-4D15-8A26-C0E9B4D7F312}",
        TempFolder() + L"no-such-uninstaller.exe",
        folder_,
        L"",
    };
    for (const std::wstring& text : texts) {
        for (const WCHAR* row : kUninstallKeys) {
            ASSERT_EQ(WriteText(HKEY_LOCAL_MACHINE, row, L"UninstallString", text), ERROR_SUCCESS);
        }
        EXPECT_FALSE(ProbeInstalled()) << Narrow(text);
        ClearHostKeys();
    }
}

TEST_F(ProbeInstalledTest, OnlyThe32BitRegistryViewCounts)
{
    for (const WCHAR* row : kUninstallKeys) {
        ASSERT_EQ(WriteText(HKEY_LOCAL_MACHINE, row, L"UninstallString", uninstaller_, true, REG_SZ,
                            KEY_WOW64_64KEY),
                  ERROR_SUCCESS);
    }
    ASSERT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kUninstallKeys[4], KEY_WOW64_64KEY));
    ASSERT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kUninstallKeys[4], KEY_WOW64_32KEY))
        << "the views must be apart";
    EXPECT_FALSE(ProbeInstalled());
}

TEST_F(ProbeInstalledTest, BothBraceFormsTogetherStillCount)
{
    ASSERT_EQ(WriteText(HKEY_LOCAL_MACHINE, kUninstallKeys[0], L"UninstallString", uninstaller_),
              ERROR_SUCCESS);
    ASSERT_EQ(WriteText(HKEY_LOCAL_MACHINE, kUninstallKeys[2], L"UninstallString", uninstaller_),
              ERROR_SUCCESS);
    EXPECT_TRUE(ProbeInstalled());
}

TEST_F(ProbeInstalledTest, APathOfAnyLengthCountsByTheSameRules)
{
    // A deep installation folder: paths of 130 units and more, which a
    // 260-byte read would miss.
    struct Case {
        size_t units;
        bool terminated;
        bool fileExists;
        bool counts;
    };
    const Case cases[] = {
        {130, false, true, true}, // exactly 260 bytes
        {130, true, true, true},  // 262 bytes with the terminator
        {200, true, true, true},
        {200, true, false, false},
    };
    std::wstring prefix = TempFolder() + L"u";
    for (const Case& c : cases) {
        std::wstring path = prefix + std::wstring(c.units - prefix.size() - 4, L'x') + L".exe";
        ASSERT_EQ(path.size(), c.units);
        if (c.fileExists) {
            ASSERT_TRUE(WriteTextFile(path, ""));
        }
        ASSERT_EQ(WriteText(HKEY_LOCAL_MACHINE, kUninstallKeys[5], L"UninstallString", path, c.terminated),
                  ERROR_SUCCESS);
        EXPECT_EQ(ProbeInstalled(), c.counts) << c.units << " units, terminated " << c.terminated;
        // Quoted, it still does not count, however long.
        ASSERT_EQ(WriteText(HKEY_LOCAL_MACHINE, kUninstallKeys[5], L"UninstallString", L"\"" + path + L"\""),
                  ERROR_SUCCESS);
        EXPECT_FALSE(ProbeInstalled()) << c.units << " units, quoted";
        ClearHostKeys();
        DeleteFileW(path.c_str());
    }
}

struct ActivityCase {
    const char* shape;
    DWORD type;
    std::wstring data; // raw units; used when bytes is not given
    DWORD bytes;       // explicit byte count, or ~0u for data with its terminator
    bool flag;
};

class ActivityFlagsTest : public ::testing::Test {
  protected:
    void SetUp() override { DeleteKeyTree(HKEY_CURRENT_USER, kActivityKey); }
    void TearDown() override { DeleteKeyTree(HKEY_CURRENT_USER, kActivityKey); }
};

TEST_F(ActivityFlagsTest, MissingKeyReadsAsNotActive)
{
    bool dwValue = true, dwValue2 = true;
    ReadActivityFlags(dwValue, dwValue2);
    EXPECT_FALSE(dwValue);
    EXPECT_FALSE(dwValue2);
}

TEST_F(ActivityFlagsTest, OnlyTheLowByteOfTheFirstUnitCounts)
{
    const DWORD zero = 0, one = 1, digitZero = 0x30;
    auto dword = [](DWORD v) { return std::wstring(reinterpret_cast<const WCHAR*>(&v), 2); };
    const ActivityCase cases[] = {
        {"text 1", REG_SZ, L"1", ~0u, true},
        {"text 0", REG_SZ, L"0", ~0u, false},
        {"text 00", REG_SZ, L"00", ~0u, false},
        {"text 0 and blank", REG_SZ, L"0 ", ~0u, false},
        {"text U+0130", REG_SZ, L"\u0130", ~0u, false},
        {"text false", REG_SZ, L"false", ~0u, true},
        {"empty text with terminator", REG_SZ, L"", ~0u, true},
        {"zero data bytes", REG_SZ, L"", 0, false},
        {"REG_DWORD 0", REG_DWORD, dword(zero), 4, true},
        {"REG_DWORD 1", REG_DWORD, dword(one), 4, true},
        {"REG_DWORD 0x30", REG_DWORD, dword(digitZero), 4, false},
        {"text too long to read, starting with 1", REG_SZ, std::wstring(200, L'1'), ~0u, false},
    };
    for (const ActivityCase& c : cases) {
        for (int which = 0; which < 2; ++which) {
            DeleteKeyTree(HKEY_CURRENT_USER, kActivityKey);
            const WCHAR* name = which == 0 ? L"ReplacementProcessActive" : L"UpdateProcessActive";
            std::vector<BYTE> bytes = BytesOf(c.bytes == ~0u ? c.data + L'\0' : c.data);
            bytes.resize(c.bytes == ~0u ? bytes.size() : c.bytes);
            ASSERT_EQ(WriteExactValue(HKEY_CURRENT_USER, kActivityKey, name, c.type, bytes), ERROR_SUCCESS);
            bool dwValue = false, dwValue2 = false;
            ReadActivityFlags(dwValue, dwValue2);
            EXPECT_EQ(which == 0 ? dwValue : dwValue2, c.flag) << c.shape << " in value " << which;
            EXPECT_FALSE(which == 0 ? dwValue2 : dwValue) << c.shape << ": the other value is missing";
        }
    }
}

} // namespace
