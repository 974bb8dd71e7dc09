// The AppData and Documents paths as the folder lookups may give them: a
// drive's root, longer than MAX_PATH, missing, a file. Throw-away folders
// only: the sandbox's profile folder and its scratch drive T:.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "check/removal_steps.h"
#include "platform/nt_files.h"
#include "host_keys.h"
#include "sandbox.h"
#include "test_tree.h"
#include "text.h"

namespace {

class RemovalPaths : public ::testing::Test {
  protected:
    void SetUp() override
    {
        ASSERT_EQ(SandboxProblem(), "");
        root_ = UserProfile() + L"\\RemovalPaths";
        RemoveTree(root_);
        ASSERT_TRUE(MakeFolders(root_));
    }

    void TearDown() override
    {
        RemoveTree(root_);
        RemoveTree(L"T:\\Corvanta");
        EXPECT_EQ(SandboxProblem(), "");
    }

    std::wstring root_;
};

// A folder that holds the data folder goes on, whatever its path's form; one
// that is missing or no folder yields nothing, and nothing is made.
TEST_F(RemovalPaths, TheDataFolderGoesBelowAnyAppDataPathAndNothingHappensWithoutOne)
{
    // Past MAX_PATH with the data folder's own path, and on its own.
    std::wstring deep = L"\\" + std::wstring(60, L'd');
    std::wstring longRoot = UserProfile() + L"\\RemovalPaths" + deep + deep + deep + deep;
    const struct {
        const char* name;
        std::wstring appData;
        bool seeded; // a data folder is there, beside a sibling file
    } cases[] = {
        {"a drive's root", L"T:\\", true},
        {"longer than MAX_PATH", longRoot, true},
        {"missing", root_ + L"\\missing", false},
        {"a file", root_ + L"\\AppData.txt", false},
    };
    ASSERT_GT(longRoot.size(), static_cast<size_t>(MAX_PATH));
    ASSERT_TRUE(WriteTextFile(root_ + L"\\AppData.txt", "data\n"));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::wstring base = c.appData.back() == L'\\' ? c.appData : c.appData + L"\\";
        std::wstring data = base + kDataFolderBelowAppData;
        if (c.seeded) {
            ASSERT_TRUE(WriteTextFile(data + L"\\sub\\data.txt", "data\n"));
            ASSERT_TRUE(WriteTextFile(base + L"Corvanta\\sibling.txt", "data\n"));
        }

        ClearDataFolderIn(c.appData.c_str());

        EXPECT_FALSE(Exists(Long(data)));
        EXPECT_EQ(Exists(Long(base + L"Corvanta\\sibling.txt")), c.seeded);
        EXPECT_EQ(Exists(Long(c.appData)), c.name != std::string("missing"));
    }
    EXPECT_EQ(ReadTextFile(root_ + L"\\AppData.txt"), "data\n");
}

TEST_F(RemovalPaths, NoAccountFileGoesWithoutADocumentsFolder)
{
    std::wstring account = root_ + L"\\" + kAccountFileName;
    ASSERT_TRUE(WriteTextFile(account, "data\n"));
    ASSERT_TRUE(WriteTextFile(root_ + L"\\Documents.txt", "data\n"));
    for (const std::wstring& documents : {root_ + L"\\missing", root_ + L"\\Documents.txt"}) {
        DeleteAccountFileIn(documents.c_str());
    }
    EXPECT_EQ(ReadTextFile(account), "data\n");
    EXPECT_EQ(ReadTextFile(root_ + L"\\Documents.txt"), "data\n");
    EXPECT_FALSE(Exists(root_ + L"\\missing"));
}

// Names reach the system as counted strings of at most 65,535 bytes: a
// longer one, cut to a 16-bit length, would name another entry (32,769
// units are 65,538 bytes, which such a length takes as 2: "a" alone). And
// an empty search name matches every entry. Neither is ever asked.
TEST_F(RemovalPaths, NamesTheSystemCannotBeGivenWholeFindAndOpenNothing)
{
    ASSERT_TRUE(WriteTextFile(root_ + L"\\a", "data\n"));
    std::wstring location;
    HANDLE folder = OpenFolderByPath(root_.c_str(), location);
    ASSERT_NE(folder, INVALID_HANDLE_VALUE);
    HANDLE opened = INVALID_HANDLE_VALUE;
    NTSTATUS status =
        OpenEntry(folder, location, L"a" + std::wstring(32768, L'b'), FILE_READ_ATTRIBUTES,
                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, FILE_NON_DIRECTORY_FILE, opened);
    EXPECT_FALSE(NT_SUCCESS(status)) << std::hex << status;
    EXPECT_EQ(opened, INVALID_HANDLE_VALUE);
    if (opened != INVALID_HANDLE_VALUE) {
        CloseHandle(opened);
    }
    ListedEntry entry{};
    EXPECT_FALSE(FindEntry(folder, L"", entry)) << "found " << Narrow(entry.name);
    CloseHandle(folder);
    EXPECT_EQ(ReadTextFile(root_ + L"\\a"), "data\n");
}

} // namespace
