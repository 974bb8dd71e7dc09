// The real FullUninstallCheck.exe answered Yes while the file system is in
// a bad way: attributes, unusual names, paths beyond 260 units, a file where
// a folder belongs and the reverse, missing user folders, and a host
// application still writing its data. Whatever stays behind, every run must
// exit with 0, show nothing but its prompt, and leave everything outside the
// data folder and the account file exactly as it was.
#include <windows.h>

#include <gtest/gtest.h>

#include <stdio.h>

#include <algorithm>
#include <iterator>
#include <string>
#include <vector>

#include "e2e_fixture.h"

namespace {

const WCHAR kUsers[] = L"C:\\users";
const WCHAR kSavedSuffix[] = L".reliability-saved";

std::string Lines(const std::vector<std::wstring>& lines)
{
    std::string text;
    for (const std::wstring& line : lines) {
        text += "\n  " + Narrow(line);
    }
    return text.empty() ? " (none)" : text;
}

// The lines only one of two sorted listings holds, marked "gone" or "new".
std::string Difference(const std::vector<std::wstring>& before, const std::vector<std::wstring>& after)
{
    std::vector<std::wstring> gone, added;
    std::set_difference(before.begin(), before.end(), after.begin(), after.end(), std::back_inserter(gone));
    std::set_difference(after.begin(), after.end(), before.begin(), before.end(), std::back_inserter(added));
    return "gone:" + Lines(gone) + "\nnew:" + Lines(added);
}

bool SetAttributes(const std::wstring& path, DWORD attributes)
{
    DWORD kept = attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_NORMAL);
    return SetFileAttributesW(Long(path).c_str(), attributes) &&
           (GetFileAttributesW(Long(path).c_str()) & kept) == kept;
}

// Puts a user folder back that a test moved aside, once the folder made in
// its place is removed. Never a link: Wine removes a link's target instead.
void RestoreSavedFolder(const std::wstring& folder)
{
    std::wstring saved = folder + kSavedSuffix;
    DWORD attributes = GetFileAttributesW(folder.c_str());
    if (!IsFolder(saved) ||
        (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT))) {
        return;
    }
    RemoveDirectoryW(folder.c_str()); // only when empty
    MoveFileW(saved.c_str(), folder.c_str());
}

// The end-to-end ground (registry cleared, neighbours seeded) with a wider
// look around: every user's profile and the scratch drive, content sizes
// included, before and after each run.
class Faults : public e2e::CheckFixture {
  protected:
    void SetUp() override
    {
        e2e::CheckFixture::SetUp();
        ASSERT_FALSE(RelativeTo(kUsers, dataFolder_).empty()) << Narrow(dataFolder_);
        ASSERT_FALSE(RelativeTo(kUsers, accountFile_).empty()) << Narrow(accountFile_);
    }

    void TearDown() override
    {
        RestoreSavedFolder(roaming_);
        e2e::CheckFixture::TearDown();
        // A run that lost them has failed already; later cases need them.
        RestoreCanaries();
    }

    // Every user's profile and the scratch drive, without the data folder
    // and the account file; sorted.
    std::vector<std::wstring> Around() const
    {
        std::vector<std::wstring> lines =
            Snapshot(kUsers, {RelativeTo(kUsers, dataFolder_), RelativeTo(kUsers, accountFile_)});
        for (const std::wstring& line : Snapshot(kScratchDrive)) {
            lines.push_back(L"T:\\" + line);
        }
        std::sort(lines.begin(), lines.end());
        return lines;
    }

    void ExpectAround(const std::vector<std::wstring>& expected) const
    {
        std::vector<std::wstring> now = Around();
        EXPECT_TRUE(now == expected) << "outside the data folder and the account file:\n"
                                     << Difference(expected, now);
    }

    // Answers Yes and checks what every run must give: exit code 0, the
    // prompt and nothing else on screen, the surroundings as before.
    e2e::CheckRun RunYes()
    {
        std::vector<std::wstring> before = Around();
        e2e::CheckRun run = e2e::RunCheck(e2e::kAccept, Answer::Yes);
        ExpectCleanEnd(run);
        ExpectAround(before);
        return run;
    }

    // Seeds a data file and the account file, moves the user folder aside
    // and answers Yes: around the data only that folder may come back;
    // madeAgain receives the attributes of what came back.
    void RunYesWithout(const std::wstring& folder, DWORD& madeAgain)
    {
        ASSERT_TRUE(WriteTextFile(dataFolder_ + L"\\Konto.db", "data"));
        SeedAccountFile();
        ASSERT_TRUE(MoveFileW(folder.c_str(), (folder + kSavedSuffix).c_str())) << GetLastError();
        std::vector<std::wstring> expected = Around();
        expected.push_back(RelativeTo(kUsers, folder) + L"/");
        std::sort(expected.begin(), expected.end());

        e2e::CheckRun run = e2e::RunCheck(e2e::kAccept, Answer::Yes);
        ExpectAround(expected);
        madeAgain = GetFileAttributesW(folder.c_str());
        ExpectCleanEnd(run);
    }

    void ExpectCleanEnd(const e2e::CheckRun& run)
    {
        ExpectRunEndedCleanly(run);
        EXPECT_TRUE(run.prompted) << Describe(run);
    }
};

// Read-only, hidden and system entries are the user's data like any other:
// all go. Wine keeps no read-only mark on folders.
TEST_F(Faults, ReadOnlyHiddenAndSystemEntriesGo)
{
    const DWORD kReadOnly = FILE_ATTRIBUTE_READONLY;
    const DWORD kHidden = FILE_ATTRIBUTE_HIDDEN;
    const DWORD kSystem = FILE_ATTRIBUTE_SYSTEM;
    const struct {
        const char* what;
        std::wstring name; // a folder when it ends with '\\'
        DWORD attributes;
    } cases[] = {
        {"hidden file", L"Versteckt.ini", kHidden},
        {"system file", L"System.dat", kSystem},
        {"hidden system file", L"Versteckt und System.dat", kHidden | kSystem},
        {"read-only file", L"Schreibgesch\u00FCtzt.txt", kReadOnly},
        {"read-only hidden system file", L"Alles zugleich.bin", kReadOnly | kHidden | kSystem},
        {"hidden system folder", L"Archiv\\", kHidden | kSystem},
        {"read-only folder", L"Nur lesen\\", kReadOnly},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        RemoveTree(dataFolder_);
        bool isFolder = c.name.back() == L'\\';
        std::wstring entry = dataFolder_ + L"\\" + (isFolder ? c.name.substr(0, c.name.size() - 1) : c.name);
        ASSERT_TRUE(WriteTextFile(isFolder ? entry + L"\\Normal.txt" : entry, "data"));
        if (c.attributes == kReadOnly && isFolder) {
            SetFileAttributesW(entry.c_str(), c.attributes); // taken, but not kept, by Wine
        } else {
            ASSERT_TRUE(SetAttributes(entry, c.attributes));
        }
        SeedAccountFile();

        RunYes();

        EXPECT_FALSE(Exists(dataFolder_)) << Lines(Snapshot(dataFolder_));
        EXPECT_TRUE(IsFolder(roaming_ + L"\\Corvanta"));
        EXPECT_FALSE(Exists(accountFile_));
        SetFileAttributesW(entry.c_str(), FILE_ATTRIBUTE_NORMAL);
    }
}

// One entry that cannot go (a read-only file did, with the shell delete)
// keeps nothing else: a file held open without shared deletion stays, alone.
TEST_F(Faults, AFileThatCannotGoKeepsOnlyItselfAndItsFolders)
{
    const std::vector<std::wstring> files = {L"Konto.db", L"Einstellungen.xml", L"Backups\\alt.mqb",
                                             L"Backups\\Gehalten.mqb", L"Zuletzt.txt"};
    for (const std::wstring& name : files) {
        ASSERT_TRUE(WriteTextFile(dataFolder_ + L"\\" + name, "data of " + Narrow(name)));
    }
    ASSERT_TRUE(SetAttributes(dataFolder_ + L"\\Zuletzt.txt", FILE_ATTRIBUTE_READONLY));
    SeedAccountFile();
    HANDLE held = CreateFileW((dataFolder_ + L"\\" + files[3]).c_str(), GENERIC_READ, FILE_SHARE_READ,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);

    RunYes();
    CloseHandle(held);

    std::vector<std::wstring> left = Snapshot(dataFolder_);
    std::vector<std::wstring> expected = {L"Backups/",
                                          files[3] + L" " + std::to_wstring(8 + files[3].size())};
    EXPECT_EQ(left, expected) << Lines(left);
    EXPECT_FALSE(Exists(accountFile_));
}

// The read-only mark on the account file keeps it, as a plain file deletion
// (DeleteFileW) does on Windows.
TEST_F(Faults, AReadOnlyAccountFileStays)
{
    ASSERT_TRUE(WriteTextFile(dataFolder_ + L"\\Konto.db", "data"));
    SeedAccountFile();
    ASSERT_TRUE(SetAttributes(accountFile_, FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));

    RunYes();

    EXPECT_FALSE(Exists(dataFolder_));
    EXPECT_EQ(ReadTextFile(accountFile_), "Konten von Anna");
    SetFileAttributesW(accountFile_.c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(Faults, NamesBeyondAsciiAndBeyondTheBasicPlaneGo)
{
    const std::wstring euroNotes = L"\U0001F4B6"; // a surrogate pair in UTF-16
    ASSERT_EQ(euroNotes.size(), 2u);
    const std::vector<std::wstring> files = {
        L"\u00DCberweisungen 2026.csv",
        L"Sparschwein " + euroNotes + L"\\" + euroNotes + L" Scheine.txt",
        L"Sparschwein " + euroNotes + L"\\\u65E5\u672C\u8A9E.txt",
        L"Gr\u00FC\u00DFe\\\u00C4rger \u00FCber \u00D6l.txt",
    };
    for (const std::wstring& name : files) {
        ASSERT_TRUE(WriteTextFile(dataFolder_ + L"\\" + name, "data")) << Narrow(name);
    }
    // Neighbours with the same unusual names must stay.
    ASSERT_TRUE(WriteTextFile(roaming_ + L"\\Corvanta\\\u00DCberweisungen 2026.csv", "neighbour"));
    ASSERT_TRUE(WriteTextFile(documents_ + L"\\Sparschwein " + euroNotes + L"\\behalten.txt", "neighbour"));
    SeedAccountFile();

    RunYes();

    EXPECT_FALSE(Exists(dataFolder_)) << Lines(Snapshot(dataFolder_));
    EXPECT_FALSE(Exists(accountFile_));
    RemoveTree(roaming_ + L"\\Corvanta\\\u00DCberweisungen 2026.csv");
    RemoveTree(documents_ + L"\\Sparschwein " + euroNotes);
}

// Paths beyond 260 units inside the data folder go with the rest; outside it
// nothing may change.
TEST_F(Faults, PathsBeyond260UnitsInsideTheDataFolderGo)
{
    std::wstring deep = L"Tief";
    while (dataFolder_.size() + deep.size() < 300) {
        deep += L"\\Ebene " + std::to_wstring(deep.size()) + L" mit einem langen Namen";
    }
    const std::wstring longName =
        std::wstring(266 - dataFolder_.size() - wcslen(L"\\Kurz\\.txt"), L'n') + L".txt";
    const struct {
        const char* what;
        std::wstring file; // relative to the data folder
    } cases[] = {
        {"a file 300 units deep", deep + L"\\ganz unten.txt"},
        {"a long file name in a short folder", L"Kurz\\" + longName},
        {"a long file name right in the data folder", L"\u00DCberlang " + longName},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        RemoveTree(dataFolder_);
        ASSERT_TRUE(WriteTextFile(dataFolder_ + L"\\" + c.file, "data")) << Narrow(c.file);
        ASSERT_GT(dataFolder_.size() + 1 + c.file.size(), 260u);
        SeedAccountFile();

        RunYes();

        EXPECT_FALSE(Exists(dataFolder_)) << Lines(Snapshot(dataFolder_));
        EXPECT_FALSE(Exists(accountFile_));
    }
}

TEST_F(Faults, AFileWhereTheDataFolderBelongsStays)
{
    const struct {
        const char* what;
        std::wstring file;
    } cases[] = {
        {"the data folder is a file", dataFolder_},
        {"its parent Corvanta is a file", roaming_ + L"\\Corvanta"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        RemoveTree(c.file); // the second case takes Corvanta's neighbours with it
        ASSERT_TRUE(WriteTextFile(c.file, "not a folder"));
        SeedAccountFile();

        RunYes();

        EXPECT_EQ(ReadTextFile(c.file), "not a folder");
        EXPECT_FALSE(Exists(accountFile_));
        RemoveTree(c.file);
    }
}

TEST_F(Faults, AFolderNamedLikeTheAccountFileStays)
{
    ASSERT_TRUE(WriteTextFile(dataFolder_ + L"\\Konto.db", "data"));
    ASSERT_TRUE(WriteTextFile(accountFile_ + L"\\Konten.txt", "in a folder named like the account file"));
    std::vector<std::wstring> accountFolder = Snapshot(accountFile_);

    RunYes();

    EXPECT_FALSE(Exists(dataFolder_));
    EXPECT_EQ(Snapshot(accountFile_), accountFolder);
    EXPECT_EQ(ReadTextFile(accountFile_ + L"\\Konten.txt"), "in a folder named like the account file");
}

// A user folder moved aside for one run: the program's lookup makes it again
// and the other removal step still runs. Wine makes a missing Documents
// again as a link to the Linux home folder, which no Windows call removes
// as a link: profile-guard puts the real folder back once the test program
// has ended.
TEST_F(Faults, AMissingRoamingFolderIsMadeAgainAndTheAccountFileStillGoes)
{
    DWORD madeAgain = INVALID_FILE_ATTRIBUTES;
    ASSERT_NO_FATAL_FAILURE(RunYesWithout(roaming_, madeAgain));
    std::vector<std::wstring> inside = Snapshot(roaming_);
    RestoreSavedFolder(roaming_);

    EXPECT_EQ(madeAgain, static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY)) << "a plain, empty folder";
    EXPECT_EQ(inside, std::vector<std::wstring>()) << Lines(inside);
    EXPECT_EQ(ReadTextFile(dataFolder_ + L"\\Konto.db"), "data") << "moved aside with the folder";
    EXPECT_FALSE(Exists(accountFile_));
}

TEST_F(Faults, AMissingDocumentsFolderIsMadeAgainAndTheDataFolderStillGoes)
{
    DWORD madeAgain = INVALID_FILE_ATTRIBUTES;
    ASSERT_NO_FATAL_FAILURE(RunYesWithout(documents_, madeAgain));

    // A folder again: Wine 8's lookup links a missing Documents to the Linux
    // home folder, which the program sees as a reparse point; Wine 10's folder
    // shows no such attribute. Either way the data folder must still go.
    EXPECT_NE(madeAgain, INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(madeAgain & FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_FALSE(Exists(dataFolder_));
    EXPECT_EQ(ReadTextFile(documents_ + kSavedSuffix + L"\\Meine Konten.mqd"), "Konten von Anna")
        << "moved aside with the folder";
}

// The host application has not closed and keeps writing into its data folder
// while the program deletes it, either only adding files or also deleting its
// own older ones. What stays is the host's doing or was there before, inside
// the data folder; nothing outside is touched, every run ends normally.
TEST_F(Faults, AHostStillWritingIntoTheDataFolder)
{
    const std::wstring work = WorkFolder();
    const std::wstring stopFile = work + L"\\writer-stop";
    const std::wstring reportFile = work + L"\\writer-report.txt";
    const std::wstring writer = ProgramFolder() + L"\\entry_holder.exe";
    ASSERT_TRUE(Exists(writer));
    const int kRounds = 6;
    int everythingWent = 0;
    unsigned long writtenTotal = 0;
    size_t leftTotal = 0;
    size_t seededLeftTotal = 0;
    for (int round = 0; round < kRounds; ++round) {
        // Odd rounds: the host also deletes its own older files.
        const bool rotate = round % 2 == 1;
        SCOPED_TRACE("round " + std::to_string(round) + (rotate ? ", rotating" : ", adding"));
        RemoveTree(dataFolder_);
        DeleteFileW(stopFile.c_str());
        DeleteFileW(reportFile.c_str());
        const std::vector<std::wstring> seeded = {L"Konto.db", L"Einstellungen.xml", L"Backups\\alt.mqb"};
        for (const std::wstring& name : seeded) {
            ASSERT_TRUE(WriteTextFile(dataFolder_ + L"\\" + name, "data"));
        }
        ASSERT_TRUE(MakeFolders(dataFolder_ + L"\\Protokolle"));
        SeedAccountFile();
        std::vector<std::wstring> before = Around();

        PROCESS_INFORMATION process = {};
        ASSERT_TRUE(StartProgram(writer,
                                 L" --write \"" + dataFolder_ + L"\" \"" + stopFile + L"\" \"" + reportFile +
                                     L"\"" + (rotate ? L" rotate" : L""),
                                 process));
        DWORD waited = GetTickCount();
        while (!Exists(dataFolder_ + L"\\Protokolle\\log-20.txt") && GetTickCount() - waited < 10000) {
            Sleep(10);
        }
        bool churning = Exists(dataFolder_ + L"\\Protokolle\\log-20.txt");
        // Every round up to the last one seen whole had closed its files
        // before the check started: none of them is held.
        unsigned long closedRounds = 20;
        while (Exists(dataFolder_ + L"\\Protokolle\\log-" + std::to_wstring(closedRounds + 1) + L".txt")) {
            ++closedRounds;
        }
        --closedRounds; // its log may still be open

        e2e::CheckRun run = e2e::RunCheck(e2e::kAccept, Answer::Yes);

        WriteTextFile(stopFile, "stop");
        bool writerEnded = EndProgram(process, 10000);
        std::string report = ReadTextFile(reportFile);
        DeleteFileW(stopFile.c_str());
        DeleteFileW(reportFile.c_str());
        ASSERT_TRUE(churning);
        EXPECT_TRUE(writerEnded);

        ExpectCleanEnd(run);
        ExpectAround(before);
        EXPECT_FALSE(Exists(accountFile_));
        // Whatever stays is a file the writer made after the check started,
        // or a folder holding one; everything that no program held went.
        std::vector<std::wstring> left = Snapshot(dataFolder_);
        size_t seededLeft = 0;
        for (const std::wstring& line : left) {
            unsigned long number = 0;
            bool late = (swscanf(line.c_str(), L"live-%lu.tmp", &number) == 1 ||
                         swscanf(line.c_str(), L"Protokolle\\log-%lu.txt", &number) == 1) &&
                        number > closedRounds;
            bool seeded = line.rfind(L"Konto.db", 0) == 0 || line.rfind(L"Einstellungen.xml", 0) == 0 ||
                          line.rfind(L"Backups", 0) == 0;
            EXPECT_TRUE(late || line == L"Protokolle/")
                << Narrow(line) << " stayed, though nothing held it (rounds 1 to " << closedRounds
                << " were closed before the check started)";
            seededLeft += seeded;
        }
        unsigned long rounds = 0, created = 0, failed = 0, removed = 0;
        EXPECT_EQ(sscanf(report.c_str(), "rounds %lu created %lu failed %lu removed %lu", &rounds, &created,
                         &failed, &removed),
                  4)
            << report;
        writtenTotal += created;
        leftTotal += left.size();
        seededLeftTotal += seededLeft;
        everythingWent += left.empty() && !Exists(dataFolder_);
        printf("host still writing, round %d (%s): writer made %lu files (%lu refused, %lu own removed), "
               "%zu entries left, %zu of the 4 seeded before the run\n",
               round, rotate ? "rotating" : "adding", created, failed, removed, left.size(), seededLeft);
    }
    printf("host still writing: %d rounds, %lu files written during them, data folder gone entirely in %d, "
           "%zu entries left in all, %zu of them seeded\n",
           kRounds, writtenTotal, everythingWent, leftTotal, seededLeftTotal);
}

} // namespace
