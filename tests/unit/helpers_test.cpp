#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/registry.h"
#include "platform/shell_folders.h"
#include "program.h"
#include "test_registry.h"

namespace {

const std::wstring kTestKey = L"Software\\FullCheckTests\\Helpers";
const std::wstring kTestKeySlashed = L"Software/FullCheckTests/Helpers";

// Every registry test starts from an absent key of its own and removes it.
class HelpersRegistryTest : public ::testing::Test {
  protected:
    void SetUp() override { DeleteKeyTree(HKEY_CURRENT_USER, kTestKey); }
    void TearDown() override { DeleteKeyTree(HKEY_CURRENT_USER, kTestKey); }
};

// The test key followed by separators up to the given length: the registry
// ignores trailing separators, so a copy cut to 260 units would open the key.
std::wstring PaddedTestKey(size_t units, WCHAR separator = L'\\')
{
    return kTestKey + std::wstring(units - kTestKey.size(), separator);
}

// An enumeration element's text: the part before its first zero unit.
std::wstring TextOf(const std::wstring& element)
{
    return element.substr(0, element.find(L'\0'));
}

bool EndsWithNoCase(const std::wstring& text, const std::wstring& suffix)
{
    return text.size() >= suffix.size() &&
           _wcsicmp(text.c_str() + text.size() - suffix.size(), suffix.c_str()) == 0;
}

// --- ReadRegString ---------------------------------------------------------

using ReadRegStringTest = HelpersRegistryTest;

TEST_F(ReadRegStringTest, ReadsAnyValueAsTextUpToTheFirstZeroUnit)
{
    struct Case {
        const WCHAR* name;
        DWORD type;
        std::wstring memory; // what lies in memory; only byteCount of it is stored
        DWORD byteCount;
        std::wstring expected;
    };
    const std::wstring longText(3000, L'y');
    const Case cases[] = {
        {L"Dword65", REG_DWORD, std::wstring(L"A\0", 2), 4, L"A"},
        {L"Multi", REG_MULTI_SZ, std::wstring(L"first\0second\0\0", 14), 28, L"first"},
        {L"Unterminated", REG_SZ, L"hello!", 10, L"hello"},
        {L"LongUnterminated", REG_SZ, longText + L'!', 6000, longText},
        {L"Long", REG_SZ, longText, 6002, longText},
        {L"Empty", REG_SZ, L"", 0, L""},
        {L"OddBytes", REG_BINARY, L"ab", 3, L"ab"}, // the missing high byte of 'b' reads as zero
    };
    for (const Case& c : cases) {
        ASSERT_EQ(WriteRawValue(HKEY_CURRENT_USER, kTestKey, c.name, c.type, c.memory.c_str(), c.byteCount),
                  ERROR_SUCCESS);
        std::wstring value = L"preset";
        EXPECT_EQ(ReadRegString(HKEY_CURRENT_USER, kTestKeySlashed.c_str(), c.name, value), ERROR_SUCCESS)
            << c.name;
        EXPECT_EQ(value, c.expected) << c.name;
    }
}

TEST_F(ReadRegStringTest, MissingKeyKeepsTheStringButMissingValueEmptiesIt)
{
    ASSERT_EQ(WriteText(HKEY_CURRENT_USER, kTestKey, L"Other", L"x"), ERROR_SUCCESS);

    std::wstring keyAbsent = L"caller's text";
    EXPECT_EQ(ReadRegString(HKEY_CURRENT_USER, (kTestKey + L"\\Absent").c_str(), L"Name", keyAbsent),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(keyAbsent, L"caller's text");

    std::wstring valueAbsent = L"caller's text";
    EXPECT_EQ(ReadRegString(HKEY_CURRENT_USER, kTestKey.c_str(), L"Name", valueAbsent), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(valueAbsent, L"");
}

TEST_F(ReadRegStringTest, SubKeyMustBeShorterThan260Units)
{
    ASSERT_EQ(WriteText(HKEY_CURRENT_USER, kTestKey, L"Name", L"value"), ERROR_SUCCESS);

    std::wstring fits;
    EXPECT_EQ(ReadRegString(HKEY_CURRENT_USER, PaddedTestKey(259).c_str(), L"Name", fits), ERROR_SUCCESS);
    EXPECT_EQ(fits, L"value");

    for (const std::wstring& path : {PaddedTestKey(260), PaddedTestKey(400, L'/')}) {
        std::wstring value = L"caller's text";
        EXPECT_EQ(ReadRegString(HKEY_CURRENT_USER, path.c_str(), L"Name", value), ERROR_FILENAME_EXCED_RANGE);
        EXPECT_EQ(value, L"caller's text");
    }
}

// --- WriteRegValue ---------------------------------------------------------

using WriteRegValueTest = HelpersRegistryTest;

TEST_F(WriteRegValueTest, StoredByteCountFollowsTheType)
{
    // 260 bytes of data, as the contract for types other than REG_SZ and
    // REG_DWORD asks; the unit after them is zero, so the platform adds no
    // terminator of its own.
    WCHAR shortText[131] = L"abc";
    const std::wstring longText(200, L'z');
    struct Case {
        const WCHAR* name;
        DWORD type;
        const WCHAR* data;
        DWORD storedBytes;
    };
    const Case cases[] = {
        {L"Sz", REG_SZ, shortText, 8},
        {L"LongSz", REG_SZ, longText.c_str(), 402},
        {L"ExpandSz", REG_EXPAND_SZ, shortText, 260},
        {L"MultiSz", REG_MULTI_SZ, shortText, 260},
        {L"Binary", REG_BINARY, shortText, 260},
        {L"Dword", REG_DWORD, shortText, 4},
    };
    for (const Case& c : cases) {
        // '/' separators, and a key that does not exist yet.
        EXPECT_EQ(WriteRegValue(HKEY_CURRENT_USER, (kTestKeySlashed + L"/New/Sub").c_str(), c.name, c.type,
                                reinterpret_cast<const BYTE*>(c.data)),
                  1)
            << c.name;
        SavedValue stored = SaveValue(HKEY_CURRENT_USER, kTestKey + L"\\New\\Sub", c.name);
        ASSERT_TRUE(stored.present) << c.name;
        EXPECT_EQ(stored.type, c.type) << c.name;
        ASSERT_EQ(stored.bytes.size(), c.storedBytes) << c.name;
        EXPECT_EQ(memcmp(stored.bytes.data(), c.data, c.storedBytes), 0) << c.name;
    }
}

TEST_F(WriteRegValueTest, FailuresWriteNothingAndAreNotReportedAsWritten)
{
    const BYTE* text = reinterpret_cast<const BYTE*>(L"value");
    for (const std::wstring& path : {PaddedTestKey(260), PaddedTestKey(400, L'/')}) {
        EXPECT_EQ(WriteRegValue(HKEY_CURRENT_USER, path.c_str(), L"Name", REG_SZ, text),
                  ERROR_FILENAME_EXCED_RANGE);
        EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kTestKey));
    }

    LONG noRoot = WriteRegValue(reinterpret_cast<HKEY>(0x1234), L"Sub", L"Name", REG_SZ, text);
    EXPECT_NE(noRoot, ERROR_SUCCESS);
    EXPECT_NE(noRoot, 1);

    // The key opens but the value cannot be set: a name beyond the registry's
    // limit of 16383 units.
    const std::wstring hugeName(20000, L'n');
    LONG badName = WriteRegValue(HKEY_CURRENT_USER, kTestKey.c_str(), hugeName.c_str(), REG_SZ, text);
    EXPECT_NE(badName, ERROR_SUCCESS);
    EXPECT_NE(badName, 1);
}

// --- EnumRegSubKeys and EnumRegValues --------------------------------------

class EnumerationTest : public HelpersRegistryTest {
  protected:
    void SetUp() override
    {
        HelpersRegistryTest::SetUp();
        for (const WCHAR* name : {L"Alpha", L"Beta", L"Gamma"}) {
            ASSERT_EQ(WriteText(HKEY_CURRENT_USER, kTestKey + L"\\Keys\\" + name, L"Name", L"x"),
                      ERROR_SUCCESS);
        }
    }
};

TEST_F(EnumerationTest, SubKeysAreAppendedAsFullLengthElements)
{
    std::vector<std::wstring> names = {L"already there"};
    EXPECT_EQ(EnumRegSubKeys(HKEY_CURRENT_USER, (kTestKey + L"\\Keys").c_str(), names), 3);
    ASSERT_EQ(names.size(), 4u);
    EXPECT_EQ(names[0], L"already there");
    std::vector<std::wstring> texts;
    for (size_t i = 1; i < names.size(); ++i) {
        EXPECT_EQ(names[i].size(), 1024u);
        texts.push_back(TextOf(names[i]));
        EXPECT_EQ(names[i].find_first_not_of(L'\0', texts.back().size()), std::wstring::npos);
    }
    std::sort(texts.begin(), texts.end());
    EXPECT_EQ(texts, (std::vector<std::wstring>{L"Alpha", L"Beta", L"Gamma"}));
}

TEST_F(EnumerationTest, NothingIsAppendedWithoutAKeyOrEntries)
{
    ASSERT_EQ(CreateKey(HKEY_CURRENT_USER, kTestKey + L"\\Empty"), ERROR_SUCCESS);
    ASSERT_EQ(WriteText(HKEY_CURRENT_USER, kTestKey + L"\\Keys", L"Value", L"x"), ERROR_SUCCESS);
    // The enumerations pass '/' on: no key of that name exists.
    const std::wstring keysSlashed = kTestKeySlashed + L"/Keys";
    const struct {
        std::wstring path;
        bool checkSubKeys;
        bool checkValues;
    } cases[] = {
        {kTestKey + L"\\Keys\\Alpha", true, false}, // no sub-keys
        {kTestKey + L"\\Empty", true, true},        // neither sub-keys nor values
        {kTestKey + L"\\Absent", true, true},
        {keysSlashed, true, true},
    };
    for (const auto& c : cases) {
        std::vector<std::wstring> names = {L"kept"};
        std::vector<std::wstring> data = {L"kept"};
        if (c.checkSubKeys) {
            EXPECT_EQ(EnumRegSubKeys(HKEY_CURRENT_USER, c.path.c_str(), names), 0);
        }
        if (c.checkValues) {
            EXPECT_EQ(EnumRegValues(HKEY_CURRENT_USER, c.path.c_str(), names, data), 0);
        }
        EXPECT_EQ(names, std::vector<std::wstring>{L"kept"});
        EXPECT_EQ(data, std::vector<std::wstring>{L"kept"});
    }
    std::vector<std::wstring> names, data;
    EXPECT_EQ(EnumRegSubKeys(HKEY_CURRENT_USER, (kTestKey + L"\\Keys").c_str(), names), 3)
        << "the same key with backslashes";
    EXPECT_EQ(EnumRegValues(HKEY_CURRENT_USER, (kTestKey + L"\\Keys").c_str(), names, data), 1);
}

TEST_F(EnumerationTest, ValuesAreAppendedInPairsUntilOneDoesNotFit)
{
    // Two short values, then a third that decides; a fourth after it is never
    // reached when the third does not fit. Names sort in creation order, so
    // every registry enumerates them alike.
    const std::vector<BYTE> bytes5000(5000, 'x');
    const std::wstring units2048(2048, L'x'); // 4096 bytes
    const struct {
        const char* what;
        std::wstring name;
        const void* data;
        DWORD byteCount;
        int expected;
    } cases[] = {
        {"5000 bytes of data", L"C", bytes5000.data(), 5000, 2},
        {"4096 bytes of data", L"C", units2048.c_str(), 4096, 4},
        {"a name of 4096 units", L"C" + std::wstring(4095, L'c'), L"1", 2, 2},
        {"a name of 4095 units", L"C" + std::wstring(4094, L'c'), L"1", 2, 4},
    };
    const DWORD number = 0x00420041; // "AB" as units
    for (const auto& c : cases) {
        DeleteKeyTree(HKEY_CURRENT_USER, kTestKey + L"\\Values");
        const std::wstring key = kTestKey + L"\\Values";
        ASSERT_EQ(WriteText(HKEY_CURRENT_USER, key, L"A", L"short"), ERROR_SUCCESS);
        ASSERT_EQ(WriteRawValue(HKEY_CURRENT_USER, key, L"B", REG_DWORD, &number, 4), ERROR_SUCCESS);
        ASSERT_EQ(WriteRawValue(HKEY_CURRENT_USER, key, c.name.c_str(), REG_BINARY, c.data, c.byteCount),
                  ERROR_SUCCESS);
        ASSERT_EQ(WriteText(HKEY_CURRENT_USER, key, L"D", L"after"), ERROR_SUCCESS);

        std::vector<std::wstring> names = {L"name 0"};
        std::vector<std::wstring> data = {L"data 0"};
        EXPECT_EQ(EnumRegValues(HKEY_CURRENT_USER, key.c_str(), names, data), c.expected) << c.what;
        ASSERT_EQ(names.size(), 1u + c.expected) << c.what;
        ASSERT_EQ(data.size(), 1u + c.expected) << c.what;
        EXPECT_EQ(names[0], L"name 0");
        EXPECT_EQ(data[0], L"data 0");
        for (int i = 1; i <= c.expected; ++i) {
            EXPECT_EQ(names[i].size(), 4096u) << c.what;
            EXPECT_EQ(data[i].size(), 4096u) << c.what;
        }
        EXPECT_EQ(TextOf(names[1]), L"A");
        EXPECT_EQ(TextOf(data[1]), L"short");
        EXPECT_EQ(TextOf(names[2]), L"B");
        EXPECT_EQ(TextOf(data[2]), L"AB");
        if (c.expected == 4) {
            EXPECT_EQ(TextOf(names[3]), c.name) << c.what;
            EXPECT_EQ(TextOf(names[4]), L"D") << c.what;
            EXPECT_EQ(TextOf(data[4]), L"after") << c.what;
        }
    }
}

// --- FindAppPath -----------------------------------------------------------

const std::wstring kAppPaths = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\";
const std::wstring kTestExe = L"FullCheckTestsHelpers";

class FindAppPathTest : public ::testing::Test {
  protected:
    void SetUp() override { RemoveEntries(); }
    void TearDown() override { RemoveEntries(); }

    // Every entry of these tests has a name beginning with kTestExe.
    static void RemoveEntries()
    {
        std::vector<std::wstring> names;
        EnumRegSubKeys(HKEY_LOCAL_MACHINE, kAppPaths.c_str(), names);
        for (const std::wstring& name : names) {
            if (TextOf(name).compare(0, kTestExe.size(), kTestExe) == 0) {
                DeleteKeyTree(HKEY_LOCAL_MACHINE, kAppPaths + TextOf(name));
            }
        }
    }
};

TEST_F(FindAppPathTest, TellsWhetherTheRegisteredPathIsAFolder)
{
    const std::wstring windows = GetWindowsFolderPath();
    const std::wstring file = ProgramPath();
    ASSERT_FALSE(windows.empty());
    const std::wstring longest = kTestExe + std::wstring(207 - kTestExe.size() - 4, L'l') + L".exe";
    const std::wstring tooLong = kTestExe + std::wstring(208 - kTestExe.size() - 4, L'l') + L".exe";
    const struct {
        std::wstring exe;
        std::wstring keyToCreate; // below App Paths; empty: none
        const WCHAR* path;        // the "Path" value; nullptr: none
        int expected;
        std::wstring folder; // the receiving string afterwards
    } cases[] = {
        {kTestExe + L"Folder.exe", kTestExe + L"Folder.exe", windows.c_str(), 1, windows},
        {kTestExe + L"File.exe", kTestExe + L"File.exe", file.c_str(), 0, file},
        {kTestExe + L"NoPath.exe", kTestExe + L"NoPath.exe", nullptr, 0, L""},
        {kTestExe + L"NoKey.exe", L"", nullptr, 0, L"C:\\"},
        {longest, longest, windows.c_str(), 1, windows},
        {tooLong, tooLong, windows.c_str(), 0, L"C:\\"},
        {kTestExe + L"/Nested.exe", kTestExe + L"\\Nested.exe", windows.c_str(), 1, windows},
    };
    for (const auto& c : cases) {
        if (!c.keyToCreate.empty()) {
            ASSERT_EQ(WriteText(HKEY_LOCAL_MACHINE, kAppPaths + c.keyToCreate, L"", L"ignored.exe"),
                      ERROR_SUCCESS);
        }
        if (c.path != nullptr) {
            ASSERT_EQ(WriteText(HKEY_LOCAL_MACHINE, kAppPaths + c.keyToCreate, L"Path", c.path),
                      ERROR_SUCCESS);
        }
        // The caller's text is an existing folder: only what is read may be tested.
        std::wstring folder = L"C:\\";
        EXPECT_EQ(FindAppPath(c.exe.c_str(), folder), c.expected) << c.exe.substr(0, 40);
        EXPECT_EQ(folder, c.folder) << c.exe.substr(0, 40);
    }
}

// --- Folders and DirectoryExists -------------------------------------------

TEST(FolderPaths, WellKnownFoldersAreExistingFolders)
{
    WCHAR windowsDirectory[MAX_PATH] = {};
    ASSERT_NE(GetWindowsDirectoryW(windowsDirectory, MAX_PATH), 0u);
    const std::wstring profile = GetProfileFolderPath();
    const struct {
        const char* what;
        std::wstring path;
        std::wstring start;
        std::wstring end;
    } cases[] = {
        {"Windows", GetWindowsFolderPath(), windowsDirectory, L""},
        {"System", GetSystemFolderPath(), std::wstring(windowsDirectory) + L"\\", L""},
        {"Profile", profile, L"", L""},
        {"AppData", GetAppDataFolderPath(), profile + L"\\", L"\\AppData\\Roaming"},
        {"LocalAppData", GetLocalAppDataFolderPath(), profile + L"\\", L"\\AppData\\Local"},
        {"Pictures", GetPicturesFolderPath(), profile + L"\\", L"\\Pictures"},
        {"Documents", GetDocumentsFolderPath(), profile + L"\\", L"\\Documents"},
        {"Windows by number", GetSpecialFolderPath(0x24), windowsDirectory, L""},
    };
    ASSERT_FALSE(profile.empty());
    for (const auto& c : cases) {
        ASSERT_FALSE(c.path.empty()) << c.what;
        EXPECT_EQ(_wcsnicmp(c.path.c_str(), c.start.c_str(), c.start.size()), 0) << c.what;
        EXPECT_TRUE(EndsWithNoCase(c.path, c.end)) << c.what;
        EXPECT_NE(c.path.back(), L'\\') << c.what;
        EXPECT_EQ(DirectoryExists(c.path), 1) << c.what;
    }

    const std::wstring temp = GetTempFolderPath();
    ASSERT_FALSE(temp.empty());
    EXPECT_EQ(temp.back(), L'\\');
    EXPECT_EQ(DirectoryExists(temp), 1);
}

TEST(FolderPaths, FailuresGiveTheEmptyString)
{
    for (int rejected : {0xFF, 0x7E, -1}) {
        EXPECT_EQ(GetSpecialFolderPath(rejected), L"") << rejected;
    }

    // A temporary folder whose path needs more than 260 units.
    WCHAR tmp[MAX_PATH] = {};
    WCHAR temp[MAX_PATH] = {};
    ASSERT_NE(GetEnvironmentVariableW(L"TMP", tmp, MAX_PATH), 0u);
    ASSERT_NE(GetEnvironmentVariableW(L"TEMP", temp, MAX_PATH), 0u);
    const std::wstring tooLong = L"C:\\" + std::wstring(300, L't');
    SetEnvironmentVariableW(L"TMP", tooLong.c_str());
    SetEnvironmentVariableW(L"TEMP", tooLong.c_str());
    const std::wstring result = GetTempFolderPath();
    SetEnvironmentVariableW(L"TMP", tmp);
    SetEnvironmentVariableW(L"TEMP", temp);
    EXPECT_EQ(result, L"");
}

TEST(DirectoryExistsTest, OnlyExistingDirectoriesCount)
{
    const std::wstring windows = GetWindowsFolderPath();
    ASSERT_FALSE(windows.empty());
    const struct {
        std::wstring path;
        int expected;
    } cases[] = {
        {L"", 0},           {L"C:\\", 1},
        {windows, 1},       {windows + L"\\", 1},
        {ProgramPath(), 0}, {windows + L"\\no such folder", 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DirectoryExists(c.path), c.expected) << '"' << c.path << '"';
    }
}

} // namespace
