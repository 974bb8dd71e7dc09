// The removal steps where the platform answers as Windows documents and Wine
// does not: the answers are put in place through the seam (support/seam.h,
// support/windows_answers.h), each naming the behaviour it stands for, and
// the steps run against throw-away folders in the sandbox's profile only.
#include <windows.h>

#include <shlobj.h>
#include <winternl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "check/removal.h"
#include "check/removal_steps.h"
#include "host_keys.h"
#include "sandbox.h"
#include "seam.h"
#include "test_tree.h"
#include "text.h"
#include "windows_answers.h"

namespace {

std::wstring TestRoot()
{
    return UserProfile() + L"\\RemovalAnswersTest";
}

void SeedFile(const std::wstring& path)
{
    ASSERT_TRUE(WriteTextFile(path, "data\n")) << "cannot write " << Narrow(path);
}

class WindowsAnswersTest : public ::testing::Test {
  protected:
    void SetUp() override
    {
        ASSERT_EQ(SandboxProblem(), "");
        root = TestRoot();
        RemoveTree(root);
        MakeFolders(root);
        ASSERT_TRUE(Exists(root));
        data = root + L"\\" + kDataFolderBelowAppData;
    }

    // Where the answers put the names that Windows takes out of their
    // folders at once (links deleted as themselves, POSIX deletions).
    std::wstring RemovedNames()
    {
        std::wstring folder = root + L"\\Removed names";
        EXPECT_TRUE(MakeFolders(folder));
        SetRemovedNamesFolder(folder.c_str());
        return folder;
    }

    void TearDown() override
    {
        SeamRestoreAll();
        RemoveTree(root);
        EXPECT_EQ(SandboxProblem(), "");
    }

    // The account file in a Documents folder of its own; that folder.
    std::wstring SeedAccountFile()
    {
        std::wstring documents = root + L"\\Documents";
        SeedFile(documents + L"\\" + kAccountFileName);
        return documents;
    }

    // A data folder of files and folders two deep, and a neighbour.
    void SeedTree()
    {
        for (const WCHAR* file : {L"a.txt", L"sub\\b.txt", L"sub\\deeper\\c.txt"}) {
            SeedFile(data + L"\\" + file);
        }
        MakeFolders(data + L"\\empty");
        SeedFile(root + L"\\Corvanta\\sibling.txt");
    }

    std::wstring root;
    std::wstring data;
};

// ---- The seam itself ------------------------------------------------------

int g_idListings = 0;

NTSTATUS NTAPI CountIdListings(HANDLE handle, HANDLE event, PIO_APC_ROUTINE apcRoutine, PVOID apcContext,
                               PIO_STATUS_BLOCK io, PVOID information, ULONG length,
                               FILE_INFORMATION_CLASS informationClass, BOOLEAN returnSingleEntry,
                               PUNICODE_STRING fileName, BOOLEAN restartScan)
{
    g_idListings += informationClass == FileIdFullDirectoryInformation;
    return SeamOriginalAs<decltype(&CountIdListings)>("NtQueryDirectoryFile")(
        handle, event, apcRoutine, apcContext, io, information, length, informationClass, returnSingleEntry,
        fileName, restartScan);
}

TEST_F(WindowsAnswersTest, TheSeamAnswersInsteadOfThePlatformUntilRestored)
{
    SeedTree();
    g_idListings = 0;
    ASSERT_TRUE(SeamReplaceWith("NtQueryDirectoryFile", &CountIdListings));

    ClearDataFolderIn(root.c_str());

    EXPECT_FALSE(Exists(data));
    EXPECT_GT(g_idListings, 0);
    SeamRestoreAll();
    int seen = g_idListings;
    SeedTree();
    ClearDataFolderIn(root.c_str());
    EXPECT_FALSE(Exists(data));
    EXPECT_EQ(g_idListings, seen) << "still answered after SeamRestoreAll";
    EXPECT_FALSE(InstallWindowsAnswer("no-such-answer"));
}

// ---- Links and other reparse points -------------------------------------
// Wine shows no reparse points: the answers mark real folders and files as
// reparse points with a tag (listed with the attribute and the tag in
// EaSize, MS-FSCC 2.4.14 and 2.4.18; asked through FileAttributeTagInformation,
// MS-FSCC 2.4.6), and a link that is deleted as itself is moved aside
// whole, as Windows removes only its name. A marked folder's own entries
// stand for what the link leads to.

const ULONG kTagMountPoint = 0xA0000003; // a junction
const ULONG kTagSymlink = 0xA000000C;    // an NT symbolic link, to a folder or a file
const ULONG kTagCloud = 0x9000001A;      // a cloud file's placeholder
const ULONG kTagDedup = 0x80000013;      // a file of data deduplication

struct Marked {
    const char* what;
    ULONG tag;
};

TEST_F(WindowsAnswersTest, ALinkInsideOpenedAsItselfGoesAsALinkAndIsNeverEntered)
{
    // IsReparseTagNameSurrogate: both tags are links. With and without the
    // listing class with ids (Windows 2000 knows junctions, not that class).
    for (bool withoutIds : {false, true}) {
        for (const Marked& c :
             {Marked{"junction", kTagMountPoint}, Marked{"NT symbolic link", kTagSymlink}}) {
            SCOPED_TRACE(std::string(c.what) + (withoutIds ? ", listing without ids" : ""));
            SeedTree();
            SeedFile(data + L"\\sub\\folder link\\target.txt");
            SeedFile(data + L"\\sub\\folder link\\deeper\\target.txt");
            SeedFile(data + L"\\file link.txt");
            std::wstring removed = RemovedNames();
            MarkReparsePoint(L"folder link", c.tag);
            MarkReparsePoint(L"file link.txt", c.tag);
            ASSERT_TRUE(InstallWindowsAnswer("reparse-points"));
            ASSERT_TRUE(!withoutIds || InstallWindowsAnswer("listing-without-ids"));

            ClearDataFolderIn(root.c_str());

            EXPECT_FALSE(Exists(data));
            EXPECT_EQ(LinkInsidesReached(), 0);
            // Both links went whole: what they lead to is untouched.
            std::vector<std::wstring> expected = {
                L"1 file link.txt 5", L"2 folder link/", L"2 folder link\\deeper/",
                L"2 folder link\\deeper\\target.txt 5", L"2 folder link\\target.txt 5"};
            std::vector<std::wstring> seen = Snapshot(removed);
            // The order of the two moves is the listing's.
            for (std::wstring& line : seen) {
                line[0] = line.find(L"file link") != std::wstring::npos ? L'1' : L'2';
            }
            std::sort(seen.begin(), seen.end());
            EXPECT_EQ(seen, expected);
            EXPECT_EQ(ReadTextFile(root + L"\\Corvanta\\sibling.txt"), "data\n");
            SeamRestoreAll();
            RemoveTree(root + L"\\Corvanta");
            RemoveTree(removed);
        }
    }
}

TEST_F(WindowsAnswersTest, CorvantaTheDataFolderOrTheAccountFileAsALinkLeavesEverything)
{
    const struct {
        const char* what;
        const WCHAR* marked;
        ULONG tag;
    } cases[] = {
        {"Corvanta a junction", L"Corvanta", kTagMountPoint},
        {"Corvanta an NT symbolic link", L"Corvanta", kTagSymlink},
        {"the data folder a junction", L"CorvantaMarbelQuint", kTagMountPoint},
        {"the data folder an NT symbolic link", L"CorvantaMarbelQuint", kTagSymlink},
        {"the account file an NT symbolic link", kAccountFileName, kTagSymlink},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        SeedTree();
        std::wstring documents = SeedAccountFile();
        std::vector<std::wstring> before = Snapshot(root + L"\\Corvanta");
        RemovedNames();
        MarkReparsePoint(c.marked, c.tag);
        ASSERT_TRUE(InstallWindowsAnswer("reparse-points"));

        ClearDataFolderIn(root.c_str());
        DeleteAccountFileIn(documents.c_str());

        // What is no link goes all the same.
        EXPECT_EQ(LinkInsidesReached(), 0);
        bool accountLink = std::wstring(c.marked) == kAccountFileName;
        EXPECT_EQ(Exists(documents + L"\\" + kAccountFileName), accountLink);
        if (accountLink) {
            EXPECT_FALSE(Exists(data));
        } else {
            EXPECT_EQ(Snapshot(root + L"\\Corvanta"), before);
        }
        SeamRestoreAll();
        RemoveTree(root);
        MakeFolders(root);
    }
}

TEST_F(WindowsAnswersTest, ReparsePointsThatAreNoLinksAreDataAndGo)
{
    // Not name surrogates: the placeholder of a cloud file or folder, and a
    // deduplicated file, hold the user's data like any file or folder.
    for (const Marked& c : {Marked{"cloud placeholder", kTagCloud}, Marked{"deduplicated", kTagDedup}}) {
        SCOPED_TRACE(c.what);
        SeedTree();
        SeedFile(data + L"\\held in the cloud\\photo.jpg");
        SeedFile(data + L"\\sub\\report.doc");
        std::wstring documents = SeedAccountFile();
        std::wstring removed = RemovedNames();
        MarkReparsePoint(L"held in the cloud", c.tag);
        MarkReparsePoint(L"report.doc", c.tag);
        MarkReparsePoint(kAccountFileName, c.tag);
        ASSERT_TRUE(InstallWindowsAnswer("reparse-points"));

        ClearDataFolderIn(root.c_str());
        DeleteAccountFileIn(documents.c_str());

        EXPECT_FALSE(Exists(data));
        EXPECT_FALSE(Exists(documents + L"\\" + kAccountFileName));
        EXPECT_EQ(Snapshot(removed), std::vector<std::wstring>{});
        SeamRestoreAll();
        RemoveTree(root + L"\\Corvanta");
    }
}

// ---- Listings -----------------------------------------------------------

// Windows 2000 and redirectors without the listing class with file ids
// refuse it (STATUS_INVALID_INFO_CLASS): the class without ids lists the
// same entries, and everything inside still goes.
TEST_F(WindowsAnswersTest, WithoutTheListingClassWithIdsEverythingInsideStillGoes)
{
    SeedTree();
    ASSERT_TRUE(InstallWindowsAnswer("listing-without-ids"));

    ClearDataFolderIn(root.c_str());

    EXPECT_FALSE(Exists(data));
    EXPECT_EQ(ReadTextFile(root + L"\\Corvanta\\sibling.txt"), "data\n");
}

// A file system that lists no "." and ".." (MS-FSA 2.1.5.6.3: a first query
// that matches nothing is STATUS_NO_SUCH_FILE) answers so for every empty
// folder: the folder is empty, and goes.
TEST_F(WindowsAnswersTest, AFirstListingOfNoSuchFileIsAnEmptyFolder)
{
    SeedTree();
    MakeFolders(data + L"\\sub\\deeper\\empty too");
    ASSERT_TRUE(InstallWindowsAnswer("no-dot-entries"));

    ClearDataFolderIn(root.c_str());

    EXPECT_FALSE(Exists(data));
    EXPECT_EQ(ReadTextFile(root + L"\\Corvanta\\sibling.txt"), "data\n");

    // A data folder that is empty from the start.
    MakeFolders(data);
    ClearDataFolderIn(root.c_str());
    EXPECT_FALSE(Exists(data));
}

// A file id is compared only where both the listing and the handle give a
// real one: MS-FSCC 2.1.9, 0 where a file system has no ids and all bits set
// where a file's unique id cannot be established (both "MUST be ignored");
// a file system that lists no ids need not be asked for one.
TEST_F(WindowsAnswersTest, IdsThatAreNoIdsAreNeverCompared)
{
    const struct {
        const char* what;
        std::vector<const char*> answers;
    } cases[] = {
        {"listed ids unknown", {"listed-ids-unknown"}},
        {"the handles' ids unknown", {"handle-ids-unknown"}},
        {"no ids listed, none to be asked", {"listing-without-ids", "no-file-id-query"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        SeedTree();
        std::wstring documents = SeedAccountFile();
        for (const char* answer : c.answers) {
            ASSERT_TRUE(InstallWindowsAnswer(answer));
        }

        ClearDataFolderIn(root.c_str());
        DeleteAccountFileIn(documents.c_str());

        EXPECT_FALSE(Exists(data));
        EXPECT_FALSE(Exists(documents + L"\\" + kAccountFileName));
        EXPECT_EQ(ReadTextFile(root + L"\\Corvanta\\sibling.txt"), "data\n");
        SeamRestoreAll();
        RemoveTree(root + L"\\Corvanta");
    }
}

// A listing that breaks off cannot tell that nothing more is in its folder:
// what it listed goes, the folders stay.
TEST_F(WindowsAnswersTest, AListingThatBreaksOffLeavesItsFolder)
{
    SeedTree();
    ASSERT_TRUE(InstallWindowsAnswer("listing-breaks-off"));

    ClearDataFolderIn(root.c_str());

    EXPECT_EQ(Snapshot(data), (std::vector<std::wstring>{L"empty/", L"sub/", L"sub\\deeper/"}));
    EXPECT_EQ(ReadTextFile(root + L"\\Corvanta\\sibling.txt"), "data\n");
}

// ---- Opens --------------------------------------------------------------

// Where a file system refuses opens relative to a folder's handle, each
// entry is opened by its parent's verified location instead, and checked
// the same way: everything inside goes, and a link still stays a link.
TEST_F(WindowsAnswersTest, WithoutRelativeOpensEntriesAreOpenedByTheirVerifiedLocation)
{
    SeedTree();
    SeedFile(data + L"\\folder link\\target.txt");
    std::wstring documents = SeedAccountFile();
    std::wstring removed = RemovedNames();
    MarkReparsePoint(L"folder link", kTagMountPoint);
    ASSERT_TRUE(InstallWindowsAnswer("no-relative-opens"));
    ASSERT_TRUE(InstallWindowsAnswer("reparse-points"));

    ClearDataFolderIn(root.c_str());
    DeleteAccountFileIn(documents.c_str());

    EXPECT_FALSE(Exists(data));
    EXPECT_FALSE(Exists(documents + L"\\" + kAccountFileName));
    EXPECT_EQ(ReadTextFile(removed + L"\\1 folder link\\target.txt"), "data\n");
    EXPECT_EQ(ReadTextFile(root + L"\\Corvanta\\sibling.txt"), "data\n");
}

// ---- Dispositions -------------------------------------------------------

// Windows 10 1607 to 1803: the Ex disposition with POSIX semantics, but its
// ignore-read-only flag (from 1809 on) refused as an invalid parameter
// (FILE_DISPOSITION_INFORMATION_EX, WDK ntddk.h). Asked again without the
// flag, the name goes at once even while a program holds the file sharing
// deletion; read-only entries go once their mark is cleared.
TEST_F(WindowsAnswersTest, WithoutIgnoreReadOnlyTheExDispositionStillTakesNamesAtOnce)
{
    SeedTree();
    SeedFile(data + L"\\held.txt");
    SeedFile(data + L"\\read-only.txt");
    SeedFile(data + L"\\read-only folder\\e.txt");
    SetFileAttributesW((data + L"\\read-only.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    SetFileAttributesW((data + L"\\read-only folder").c_str(), FILE_ATTRIBUTE_READONLY);
    std::wstring removed = RemovedNames();
    ASSERT_TRUE(InstallWindowsAnswer("ex-disposition-without-ignore-read-only"));
    HANDLE holder = CreateFileW((data + L"\\held.txt").c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);

    ClearDataFolderIn(root.c_str());
    CloseHandle(holder);

    EXPECT_FALSE(Exists(data));
    EXPECT_EQ(ReadTextFile(root + L"\\Corvanta\\sibling.txt"), "data\n");
}

// Where the Ex class is refused, the classic disposition deletes, read-only
// entries included: Windows before 10 1607 know no such class
// (STATUS_INVALID_INFO_CLASS); file systems and redirectors without it
// refuse it as they refuse any class they lack.
TEST_F(WindowsAnswersTest, WhereTheExDispositionIsRefusedTheClassicOneDeletes)
{
    const struct {
        const char* what;
        LONG status;
    } refusals[] = {
        {"STATUS_INVALID_INFO_CLASS", static_cast<LONG>(0xC0000003)},
        {"STATUS_INVALID_PARAMETER", static_cast<LONG>(0xC000000D)},
        {"STATUS_NOT_SUPPORTED", static_cast<LONG>(0xC00000BB)},
        {"STATUS_INVALID_DEVICE_REQUEST", static_cast<LONG>(0xC0000010)},
        {"STATUS_NOT_IMPLEMENTED", static_cast<LONG>(0xC0000002)},
    };
    for (const auto& c : refusals) {
        SCOPED_TRACE(c.what);
        SeedTree();
        SeedFile(data + L"\\read-only.txt");
        SetFileAttributesW((data + L"\\read-only.txt").c_str(), FILE_ATTRIBUTE_READONLY);
        std::wstring documents = SeedAccountFile();
        RefuseExDispositionWith(c.status);
        ASSERT_TRUE(InstallWindowsAnswer("ex-disposition-refused"));

        ClearDataFolderIn(root.c_str());
        DeleteAccountFileIn(documents.c_str());

        EXPECT_FALSE(Exists(data));
        EXPECT_FALSE(Exists(documents + L"\\" + kAccountFileName));
        EXPECT_EQ(ReadTextFile(root + L"\\Corvanta\\sibling.txt"), "data\n");
        SeamRestoreAll();
        RemoveTree(root + L"\\Corvanta");
    }
}

// A read-only file with no other attribute (its archive mark cleared):
// clearing read-only would leave 0, which means "leave the attributes as
// they are" (MS-FSCC 2.4.7), so it is written as FILE_ATTRIBUTE_NORMAL.
TEST_F(WindowsAnswersTest, AFileMarkedReadOnlyAloneGoes)
{
    SeedTree();
    SeedFile(data + L"\\read-only.txt");
    SetFileAttributesW((data + L"\\read-only.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    ASSERT_TRUE(InstallWindowsAnswer("read-only-alone"));
    RefuseExDispositionWith(static_cast<LONG>(0xC0000003)); // STATUS_INVALID_INFO_CLASS
    ASSERT_TRUE(InstallWindowsAnswer("ex-disposition-refused"));

    ClearDataFolderIn(root.c_str());

    EXPECT_FALSE(Exists(data));
}

// Where a read-only mark cannot be shown to be the file's own (its names
// cannot be counted) or its attributes cannot be read, the mark stays, and
// with it the file and its folders; the rest goes. A filter driver may
// refuse any query (it completes the request with a failure status of its
// own choosing: "Completing I/O requests" in the driver documentation).
NTSTATUS g_refusedClass = 0;

NTSTATUS NTAPI RefuseOneQuery(HANDLE handle, PIO_STATUS_BLOCK io, PVOID information, ULONG length,
                              FILE_INFORMATION_CLASS informationClass)
{
    if (informationClass == g_refusedClass) {
        return static_cast<NTSTATUS>(0xC0000022); // STATUS_ACCESS_DENIED
    }
    return SeamOriginalAs<decltype(&RefuseOneQuery)>("NtQueryInformationFile")(handle, io, information,
                                                                               length, informationClass);
}

TEST_F(WindowsAnswersTest, AReadOnlyMarkNotShownToBeTheFilesOwnStays)
{
    const struct {
        const char* what;
        FILE_INFORMATION_CLASS refused;
    } cases[] = {
        {"names not counted", FileStandardInformation},
        {"attributes not read", FileBasicInformation},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        SeedTree();
        std::wstring readOnly = data + L"\\sub\\read-only.txt";
        SeedFile(readOnly);
        SetFileAttributesW(readOnly.c_str(), FILE_ATTRIBUTE_READONLY);
        // The classic disposition, which a read-only mark stops.
        RefuseExDispositionWith(static_cast<LONG>(0xC0000003)); // STATUS_INVALID_INFO_CLASS
        ASSERT_TRUE(InstallWindowsAnswer("ex-disposition-refused"));
        g_refusedClass = c.refused;
        ASSERT_TRUE(SeamReplaceWith("NtQueryInformationFile", &RefuseOneQuery));

        ClearDataFolderIn(root.c_str());

        EXPECT_EQ(GetFileAttributesW(readOnly.c_str()) & FILE_ATTRIBUTE_READONLY,
                  static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
        EXPECT_FALSE(Exists(data + L"\\a.txt"));
        EXPECT_FALSE(Exists(data + L"\\sub\\deeper"));
        SeamRestoreAll();
        SetFileAttributesW(readOnly.c_str(), FILE_ATTRIBUTE_NORMAL);
        RemoveTree(root + L"\\Corvanta");
    }
}

// ---- A step's own thread --------------------------------------------------

// No thread to spare (CreateThread: "If the function fails, the return value
// is NULL"; each thread needs its own stack in the process's address space):
// each step runs on the caller's thread, unwatched, and still deletes.
HANDLE WINAPI RefuseThread(LPSECURITY_ATTRIBUTES, SIZE_T, LPTHREAD_START_ROUTINE, LPVOID, DWORD, LPDWORD)
{
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
}

TEST_F(WindowsAnswersTest, WithoutAThreadToSpareEachStepRunsOnTheCallersThread)
{
    SeedTree();
    std::wstring documents = SeedAccountFile();
    ASSERT_TRUE(SeamReplaceWith("CreateThread", &RefuseThread));

    ClearDataFolderIn(root.c_str());
    DeleteAccountFileIn(documents.c_str());

    EXPECT_FALSE(Exists(data));
    EXPECT_FALSE(Exists(documents + L"\\" + kAccountFileName));
    EXPECT_EQ(ReadTextFile(root + L"\\Corvanta\\sibling.txt"), "data\n");
}

// ---- Names of handles ---------------------------------------------------

// A 32-bit program on 64-bit Windows gets a handle's name through WoW64,
// which needs room for the 64-bit header too: the location queries leave
// that room, at every length.
TEST_F(WindowsAnswersTest, UnderWow64EveryLocationIsStillTold)
{
    SeedTree();
    std::wstring deep = data;
    while (deep.size() < 400) {
        deep += L"\\" + std::wstring(30, L'd');
    }
    SeedFile(deep + L"\\bottom.txt");
    std::wstring documents = SeedAccountFile();
    ASSERT_TRUE(InstallWindowsAnswer("wow64-object-names"));

    ClearDataFolderIn(root.c_str());
    DeleteAccountFileIn(documents.c_str());

    EXPECT_FALSE(Exists(data));
    EXPECT_FALSE(Exists(documents + L"\\" + kAccountFileName));
}

// A handle whose name cannot be told: for a file the I/O manager asks the
// file system for the name (FileNameInformation), which a file system or a
// filter may refuse. Such an entry cannot be verified and stays, with the
// folders that hold it; everything else goes.
NTSTATUS NTAPI RefuseNamelessNames(HANDLE handle, OBJECT_INFORMATION_CLASS informationClass,
                                   PVOID information, ULONG length, PULONG returnLength)
{
    std::wstring name = SeamHandleName(handle);
    const std::wstring nameless = L"\\nameless.txt";
    if (informationClass == ObjectNameInformation && name.size() > nameless.size() &&
        name.compare(name.size() - nameless.size(), nameless.size(), nameless) == 0) {
        return static_cast<NTSTATUS>(0xC00000BB); // STATUS_NOT_SUPPORTED
    }
    return SeamOriginalAs<decltype(&RefuseNamelessNames)>("NtQueryObject")(handle, informationClass,
                                                                           information, length, returnLength);
}

TEST_F(WindowsAnswersTest, AnEntryWhoseNameCannotBeToldStays)
{
    SeedTree();
    SeedFile(data + L"\\sub\\nameless.txt");
    ASSERT_TRUE(SeamReplaceWith("NtQueryObject", &RefuseNamelessNames));

    ClearDataFolderIn(root.c_str());

    EXPECT_EQ(ReadTextFile(data + L"\\sub\\nameless.txt"), "data\n");
    EXPECT_FALSE(Exists(data + L"\\a.txt"));
    EXPECT_FALSE(Exists(data + L"\\sub\\b.txt"));
    EXPECT_FALSE(Exists(data + L"\\sub\\deeper"));
}

// ---- The shell's folders --------------------------------------------------

// A folder the shell cannot give (SHGetFolderPathW: "E_FAIL: the CSIDL is
// valid, but the folder does not exist", as where it is redirected to a
// share that is gone and cannot be made): that step does nothing, the other
// still runs. Both folders are throw-away ones here.
std::wstring g_appData;
std::wstring g_documents;

HRESULT WINAPI AnswerFolders(HWND, int csidl, HANDLE, DWORD, LPWSTR path)
{
    const std::wstring& folder = (csidl & ~CSIDL_FLAG_MASK) == CSIDL_APPDATA ? g_appData : g_documents;
    if (folder.empty()) {
        return E_FAIL;
    }
    lstrcpynW(path, folder.c_str(), MAX_PATH);
    return S_OK;
}

TEST_F(WindowsAnswersTest, AFolderTheShellCannotGiveLeavesOnlyItsOwnStep)
{
    const struct {
        const char* what;
        bool appData;
        bool documents;
    } cases[] = {
        {"no application-data folder", false, true},
        {"no Documents folder", true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        SeedTree();
        std::wstring documents = SeedAccountFile();
        g_appData = c.appData ? root : L"";
        g_documents = c.documents ? documents : L"";
        ASSERT_TRUE(SeamReplaceWith("SHGetFolderPathW", &AnswerFolders));

        RemoveUserData();

        EXPECT_EQ(Exists(data), !c.appData);
        EXPECT_EQ(Exists(documents + L"\\" + kAccountFileName), !c.documents);
        EXPECT_EQ(ReadTextFile(root + L"\\Corvanta\\sibling.txt"), "data\n");
        SeamRestoreAll();
        RemoveTree(root + L"\\Corvanta");
    }
}

} // namespace
