// End-to-end runs of FullUninstallCheck.exe as the uninstaller, the host
// application and the user meet it: real command lines, the real prompt on
// the display, the broadcast received by a real window, and what is left on
// disk afterwards. Every run must end with exit code 0 and leave everything
// around the data folder and the account file as it was.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "e2e_fixture.h"

namespace {

using namespace e2e;

const std::wstring kExpectedText =
    L"M\u00F6chten Sie eine vollst\u00E4ndige Deinstallation Ihrer Daten durchf\u00FChren?\u000A"
    L"ACHTUNG: Es werden alle Daten inklusive Ihrer Konto-Daten von diesem Rechner gel\u00F6scht!\u000A"
    L"Klicken Sie 'Nein', um nur das Programm zu entfernen.";

// ---- Argument gate -------------------------------------------------------

struct CommandTail {
    const char* what;
    const WCHAR* tail;
};

class ArgumentGate : public CheckFixture {
  protected:
    // Runs every tail against seeded data with the host stand-in up: an
    // accepted one prompts (answered No) and broadcasts once, any other
    // neither prompts (to a user who would say Yes) nor broadcasts. Nothing
    // is deleted either way.
    void RunTails(const std::vector<CommandTail>& tails, bool accepted)
    {
        SeedDataFolder();
        SeedAccountFile();
        ASSERT_TRUE(StartHost(host_));
        std::vector<std::wstring> dataBefore = DataSnapshot();
        for (const CommandTail& c : tails) {
            SCOPED_TRACE(c.what);
            CheckRun run = Run(c.tail, accepted ? Answer::No : Answer::Yes);
            EXPECT_EQ(run.prompted, accepted);
            EXPECT_EQ(NewCloseRequests().size(), accepted ? 1u : 0u) << "close requests broadcast";
            EXPECT_EQ(DataSnapshot(), dataBefore);
            EXPECT_TRUE(Exists(accountFile_));
        }
    }
};

TEST_F(ArgumentGate, AnyOtherCommandLineDoesNothing)
{
    RunTails({{"no argument", L""},
              {"two arguments", L" askfulluninstallation askfulluninstallation"},
              {"a second, empty argument", L" askfulluninstallation \"\""},
              {"another case", L" AskFullUninstallation"},
              {"extra characters joined", L" askfulluninstallationX"},
              {"a blank inside the quotes", L" \"askfulluninstallation \""}},
             false);
}

TEST_F(ArgumentGate, QuotesAndBlanksAroundTheArgumentAreAccepted)
{
    RunTails({{"in double quotes", L" \"askfulluninstallation\""},
              {"extra blanks around it", L"    askfulluninstallation   "},
              {"a tab before it", L"\taskfulluninstallation"}},
             true);
}

// ---- The typical run and its answers -------------------------------------

class TypicalRun : public CheckFixture {};

TEST_F(TypicalRun, YesRemovesTheDataFolderAndTheAccountFileAfterOneGermanQuestion)
{
    SeedDataFolder();
    SeedAccountFile();
    ASSERT_TRUE(StartHost(host_));

    CheckRun run = Run(kAccept, Answer::Yes);

    ASSERT_TRUE(run.prompted) << Describe(run);
    EXPECT_EQ(run.prompt.caption, kPromptCaption);
    EXPECT_EQ(run.prompt.text, kExpectedText);
    EXPECT_EQ(run.prompt.textControlId, 0xFFFF);
    std::vector<int> buttons;
    for (const PromptButton& button : run.prompt.buttons) {
        buttons.push_back(button.id);
    }
    std::sort(buttons.begin(), buttons.end());
    EXPECT_EQ(buttons, (std::vector<int>{IDYES, IDNO}));
    EXPECT_EQ(run.prompt.icon, L"question") << Narrow(run.prompt.iconDetail);

    std::vector<CloseRequest> requests = NewCloseRequests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].id, RegisterWindowMessageA(kCloseRequestName));
    EXPECT_EQ(requests[0].id, host_.registeredId);
    EXPECT_EQ(requests[0].wParam, 666u);
    EXPECT_EQ(requests[0].lParam, 0);

    EXPECT_FALSE(Exists(dataFolder_));
    EXPECT_TRUE(IsFolder(roaming_ + L"\\Corvanta"));
    EXPECT_FALSE(Exists(accountFile_));
}

TEST_F(TypicalRun, NoDeletesNothing)
{
    SeedDataFolder();
    SeedAccountFile();
    std::vector<std::wstring> dataBefore = DataSnapshot();

    CheckRun run = Run(kAccept, Answer::No);

    EXPECT_TRUE(run.prompted) << Describe(run);
    EXPECT_EQ(DataSnapshot(), dataBefore);
    EXPECT_EQ(ReadTextFile(accountFile_), "Konten von Anna");
}

// ---- Removal when not everything can go ----------------------------------

class Removal : public CheckFixture {};

TEST_F(Removal, WithoutADataFolderTheAccountFileStillGoes)
{
    SeedAccountFile();

    CheckRun run = Run(kAccept, Answer::Yes);

    EXPECT_TRUE(run.prompted) << Describe(run);
    EXPECT_FALSE(Exists(dataFolder_));
    EXPECT_FALSE(Exists(accountFile_));
}

TEST_F(Removal, AnAccountFileLockedAgainstReadersStays)
{
    SeedDataFolder();
    SeedAccountFile();
    // Writers and even deletion are allowed: only reading is denied.
    HANDLE lock = CreateFileW(accountFile_.c_str(), GENERIC_READ, FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);

    CheckRun run = Run(kAccept, Answer::Yes);
    CloseHandle(lock);

    EXPECT_TRUE(run.prompted) << Describe(run);
    EXPECT_FALSE(Exists(dataFolder_));
    EXPECT_EQ(ReadTextFile(accountFile_), "Konten von Anna");
}

TEST_F(Removal, AFileTheHostStillHoldsStaysWithItsFolder)
{
    SeedDataFolder();
    SeedAccountFile();
    const std::wstring lockName = L"Zugriff.lock";
    ASSERT_TRUE(WriteTextFile(dataFolder_ + L"\\" + lockName, "in use"));
    // The shell's delete stops at the first item it cannot delete (Wine's
    // does), so the held file is one listed last: all before it must go.
    std::vector<std::wstring> listed = ListFolder(dataFolder_);
    ASSERT_FALSE(listed.empty());
    ASSERT_EQ(listed.back(), lockName) << "the platform lists this folder in another order";
    ASSERT_TRUE(StartHost(host_, dataFolder_ + L"\\" + lockName));

    CheckRun run = Run(kAccept, Answer::Yes);

    EXPECT_TRUE(run.prompted) << Describe(run);
    EXPECT_EQ(NewCloseRequests().size(), 1u);
    EXPECT_EQ(DataSnapshot(), (std::vector<std::wstring>{lockName + L" 6"}));
    EXPECT_FALSE(Exists(accountFile_));
}

// ---- Presence of another installation ------------------------------------

class Presence : public CheckFixture {
  protected:
    void SetUp() override
    {
        CheckFixture::SetUp();
        installed_ = work_ + L"\\Installiert\\unins000.exe";
        ASSERT_TRUE(WriteTextFile(installed_, "MZ stand-in"));
        SeedDataFolder();
        SeedAccountFile();
        dataBefore_ = DataSnapshot();
    }

    void TearDown() override
    {
        RemoveTree(work_ + L"\\Installiert");
        CheckFixture::TearDown();
    }

    void WriteEverywhere(const std::wstring& text, REGSAM view)
    {
        for (const WCHAR* key : kUninstallKeys) {
            ASSERT_EQ(WriteText(HKEY_LOCAL_MACHINE, key, L"UninstallString", text, true, REG_SZ, view),
                      ERROR_SUCCESS);
        }
    }

    void ExpectNothingDeleted()
    {
        EXPECT_EQ(DataSnapshot(), dataBefore_);
        EXPECT_TRUE(Exists(accountFile_));
    }

    std::wstring installed_;
    std::vector<std::wstring> dataBefore_;
};

TEST_F(Presence, AnyRowNamingAnOpenableFileMeansInstalled)
{
    for (const WCHAR* key : kUninstallKeys) {
        SCOPED_TRACE(Narrow(key));
        ClearHostKeys();
        // A 32-bit process writes the 32-bit view, which the program reads.
        ASSERT_EQ(WriteText(HKEY_LOCAL_MACHINE, key, L"UninstallString", installed_), ERROR_SUCCESS);
        ASSERT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, key, KEY_WOW64_64KEY));

        CheckRun run = Run(kAccept, Answer::Yes);

        EXPECT_FALSE(run.prompted);
        ExpectNothingDeleted();
    }
}

TEST_F(Presence, EntriesThatNameNoOpenableFileDoNotCount)
{
    const struct {
        const char* what;
        std::wstring text;
    } cases[] = {
        {"quoted path", L"\"" + installed_ + L"\""},
        {"path with arguments", installed_ + L" /SILENT"},
        {"installer service command", L"MsiExec.exe /X{6F1C2A90-3B7E-4D15-8A26-C0E9B4D7F312}"},
        {"missing file", work_ + L"\\Installiert\\fehlt.exe"},
        {"folder", work_ + L"\\Installiert"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ClearHostKeys();
        WriteEverywhere(c.text, 0);

        CheckRun run = Run(kAccept, Answer::No);

        EXPECT_TRUE(run.prompted);
        ExpectNothingDeleted();
    }
}

TEST_F(Presence, EntriesOnlyInThe64BitViewDoNotCount)
{
    WriteEverywhere(installed_, KEY_WOW64_64KEY);
    ASSERT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kUninstallKeys[0], KEY_WOW64_32KEY));

    CheckRun run = Run(kAccept, Answer::No);

    EXPECT_TRUE(run.prompted);
    ExpectNothingDeleted();
}

// ---- Activity of a replacement or update process -------------------------

struct StoredValue {
    const char* what;
    DWORD type;
    std::vector<BYTE> bytes;
    bool active;
};

std::vector<BYTE> Dword(DWORD value)
{
    const BYTE* begin = reinterpret_cast<const BYTE*>(&value);
    return std::vector<BYTE>(begin, begin + sizeof(value));
}

// Only the low byte of the first unit counts; nothing read means not active.
const std::vector<StoredValue>& ActivityShapes()
{
    static const std::vector<StoredValue> shapes = {
        {"text 1", REG_SZ, BytesOf(std::wstring(L"1\0", 2)), true},
        {"text 0", REG_SZ, BytesOf(std::wstring(L"0\0", 2)), false},
        {"text 00", REG_SZ, BytesOf(std::wstring(L"00\0", 3)), false},
        {"text 0 and a blank", REG_SZ, BytesOf(std::wstring(L"0 \0", 3)), false},
        {"text starting with U+0130", REG_SZ, BytesOf(std::wstring(L"\u0130\0", 2)), false},
        {"empty text with terminator", REG_SZ, BytesOf(std::wstring(L"\0", 1)), true},
        {"no data bytes", REG_SZ, {}, false},
        {"DWORD 0", REG_DWORD, Dword(0), true},
        {"DWORD 1", REG_DWORD, Dword(1), true},
        {"DWORD 0x30", REG_DWORD, Dword(0x30), false},
    };
    return shapes;
}

class Activity : public CheckFixture {
  protected:
    void RunShapes(const WCHAR* valueName)
    {
        SeedDataFolder();
        SeedAccountFile();
        std::vector<std::wstring> dataBefore = DataSnapshot();
        for (const StoredValue& shape : ActivityShapes()) {
            SCOPED_TRACE(shape.what);
            ClearHostKeys();
            ASSERT_EQ(WriteRawValue(HKEY_CURRENT_USER, kActivityKey, valueName, shape.type,
                                    shape.bytes.data(), static_cast<DWORD>(shape.bytes.size())),
                      ERROR_SUCCESS);

            CheckRun run = Run(kAccept, shape.active ? Answer::Yes : Answer::No);

            EXPECT_EQ(run.prompted, !shape.active);
            EXPECT_EQ(DataSnapshot(), dataBefore);
            EXPECT_TRUE(Exists(accountFile_));
        }
    }
};

TEST_F(Activity, ReplacementProcessActive)
{
    RunShapes(L"ReplacementProcessActive");
}

TEST_F(Activity, UpdateProcessActive)
{
    RunShapes(L"UpdateProcessActive");
}

// ---- Safety: nothing outside the data folder, whatever the disk holds ----

class Safety : public CheckFixture {
  protected:
    std::wstring DeepRoot() const { return work_ + L"\\Tief"; }

    void SetUp() override
    {
        CheckFixture::SetUp();
        shellFolders_ = SaveShellFolders();
    }

    void TearDown() override
    {
        RestoreValues(shellFolders_);
        RemoveTree(DeepRoot());
        CheckFixture::TearDown();
    }

    std::vector<SavedValue> shellFolders_;
};

TEST_F(Safety, ADataFolderPathBeyondMaxPathGoesAndNothingBesideIt)
{
    // Deep enough that joining "\Corvanta\CorvantaMarbelQuint" passes 259 units.
    std::wstring deep = DeepRoot();
    while (deep.size() < 240) {
        deep += L"\\Ebene-" + std::to_wstring(deep.size());
    }
    ASSERT_GT(deep.size() + wcslen(L"\\Corvanta\\CorvantaMarbelQuint"), 259u);
    ASSERT_LT(deep.size(), static_cast<size_t>(MAX_PATH));
    const std::vector<std::wstring> deepFiles = {
        L"behalten.txt",
        L"Corvanta\\Geschwister.txt",
        L"Corvanta\\CorvantaMarbelQuint\\Konto.db",
    };
    for (const std::wstring& name : deepFiles) {
        ASSERT_TRUE(WriteTextFile(deep + L"\\" + name, "deep"));
    }
    SeedDataFolder();
    SeedAccountFile();
    // The deep data folder goes; everything beside it stays.
    std::vector<std::wstring> deepBefore = Snapshot(deep, {L"Corvanta\\CorvantaMarbelQuint"});
    std::vector<std::wstring> dataBefore = DataSnapshot();

    ASSERT_TRUE(shellFolders_[0].present);
    ASSERT_EQ(RedirectShellFolder(L"AppData", deep), ERROR_SUCCESS);
    ASSERT_EQ(RoamingAppData(), deep);

    CheckRun run = RunCheck(kAccept, Answer::Yes);
    RestoreValues(shellFolders_);
    ASSERT_EQ(RoamingAppData(), roaming_) << "the application-data folder was not put back";
    ExpectRunEndedCleanly(run);
    ExpectSurroundingsIntact();

    EXPECT_TRUE(run.prompted) << Describe(run);
    EXPECT_EQ(Snapshot(deep, {L"Corvanta\\CorvantaMarbelQuint"}), deepBefore);
    EXPECT_FALSE(Exists(deep + L"\\Corvanta\\CorvantaMarbelQuint"));
    EXPECT_EQ(DataSnapshot(), dataBefore);
    EXPECT_FALSE(Exists(accountFile_));
}

} // namespace
