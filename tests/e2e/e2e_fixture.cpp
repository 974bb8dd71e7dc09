#include <windows.h>

#include "e2e_fixture.h"

namespace e2e {

const WCHAR kAccept[] = L" askfulluninstallation";

namespace {

// Files of the host application's data folder, relative to it.
const std::vector<std::wstring> kDataFiles = {
    L"Einstellungen.xml",           L"Konto.db",
    L"Gr\u00FC\u00DFe an Anna.txt", L"Backups\\neu.mqb",
    L"Backups\\2023\\alt.mqb",      L"Backups\\2023\\M\u00E4rz\\sehr alt.mqb",
};

// Things beside the data that must outlive every run, relative to the
// roaming application-data folder and to Documents; the names are close to
// the data's own on purpose.
const std::vector<std::wstring> kRoamingNeighbours = {
    L"Corvanta\\Geschwister.txt",
    L"Corvanta\\CorvantaMarbelQuint.alt\\behalten.txt",
    L"Corvanta\\CorvantaMarbelQuint2\\behalten.txt",
    L"Andere Firma\\Daten\\behalten.txt",
    L"behalten.txt",
};
const std::vector<std::wstring> kDocumentNeighbours = {
    L"Meine Konten.mqd.bak",
    L"Meine Konten\\behalten.txt",
    L"Brief.txt",
};

// Deletes root\relative and then each parent folder up to root that is
// left empty; nothing else, so a data folder beside it is not entered.
void RemoveNeighbour(const std::wstring& root, std::wstring relative)
{
    DeleteFileW((root + L"\\" + relative).c_str());
    for (size_t slash = relative.rfind(L'\\'); slash != std::wstring::npos; slash = relative.rfind(L'\\')) {
        relative.resize(slash);
        RemoveDirectoryW((root + L"\\" + relative).c_str()); // fails while something else is inside
    }
}

} // namespace

std::string Describe(const CheckRun& run)
{
    std::string text = "started " + std::to_string(run.started) + ", exited " + std::to_string(run.exited) +
                       ", exit code " + std::to_string(run.exitCode) + ", prompted " +
                       std::to_string(run.prompted) + ", " + std::to_string(run.milliseconds) + " ms";
    for (const std::wstring& window : run.otherWindows) {
        text += "\n  other window: " + Narrow(window);
    }
    return text;
}

void CheckFixture::SetUp()
{
    ASSERT_EQ(SandboxProblem(), "");
    roaming_ = RoamingAppData();
    documents_ = Documents();
    work_ = WorkFolder();
    ASSERT_FALSE(roaming_.empty());
    ASSERT_FALSE(documents_.empty());
    ASSERT_FALSE(work_.empty());
    dataFolder_ = roaming_ + L"\\" + kDataFolderBelowAppData;
    accountFile_ = documents_ + L"\\" + kAccountFileName;
    ASSERT_TRUE(Exists(CheckProgram())) << Narrow(CheckProgram());
    LetWineDrawThePrompt();

    ClearDataAndKeys();
    for (const std::wstring& name : kRoamingNeighbours) {
        ASSERT_TRUE(WriteTextFile(roaming_ + L"\\" + name, "neighbour"));
    }
    for (const std::wstring& name : kDocumentNeighbours) {
        ASSERT_TRUE(WriteTextFile(documents_ + L"\\" + name, "neighbour"));
    }
    roamingBefore_ = Snapshot(roaming_, {kDataFolderBelowAppData});
    documentsBefore_ = Snapshot(documents_, {kAccountFileName});
}

void CheckFixture::TearDown()
{
    StopHost(host_);
    ClearDataAndKeys();
    for (const std::wstring& name : kRoamingNeighbours) {
        RemoveNeighbour(roaming_, name);
    }
    for (const std::wstring& name : kDocumentNeighbours) {
        RemoveNeighbour(documents_, name);
    }
}

void CheckFixture::ClearDataAndKeys()
{
    ClearHostKeys();
    if (dataFolderIsOurs_) {
        RemoveTree(dataFolder_);
    }
    RemoveTree(accountFile_);
}

void CheckFixture::SeedDataFolder()
{
    for (const std::wstring& name : kDataFiles) {
        ASSERT_TRUE(WriteTextFile(dataFolder_ + L"\\" + name, "data of " + Narrow(name)));
    }
    ASSERT_TRUE(MakeFolders(dataFolder_ + L"\\Leerer Ordner"));
    // Hidden files are matched by the pattern too.
    ASSERT_TRUE(WriteTextFile(dataFolder_ + L"\\Versteckt.ini", "hidden"));
    ASSERT_TRUE(SetFileAttributesW((dataFolder_ + L"\\Versteckt.ini").c_str(), FILE_ATTRIBUTE_HIDDEN));
}

void CheckFixture::SeedAccountFile()
{
    ASSERT_TRUE(WriteTextFile(accountFile_, "Konten von Anna"));
}

std::vector<std::wstring> CheckFixture::DataSnapshot() const
{
    return Snapshot(dataFolder_);
}

CheckRun CheckFixture::Run(const std::wstring& commandTail, Answer answer)
{
    return Run(CheckStart{CheckProgram(), L""}, commandTail, answer);
}

CheckRun CheckFixture::Run(const CheckStart& start, const std::wstring& commandTail, Answer answer)
{
    CheckRun run = RunCheck(start, commandTail, answer);
    ExpectRunEndedCleanly(run);
    ExpectSurroundingsIntact();
    return run;
}

void CheckFixture::ExpectRunEndedCleanly(const CheckRun& run)
{
    EXPECT_TRUE(run.started && run.exited) << Describe(run);
    EXPECT_EQ(run.exitCode, 0u) << Describe(run);
    EXPECT_TRUE(run.otherWindows.empty()) << Describe(run);
}

void CheckFixture::ExpectSurroundingsIntact()
{
    EXPECT_EQ(SandboxProblem(), "");
    EXPECT_EQ(Snapshot(roaming_, {kDataFolderBelowAppData}), roamingBefore_);
    EXPECT_EQ(Snapshot(documents_, {kAccountFileName}), documentsBefore_);
}

std::vector<CloseRequest> CheckFixture::NewCloseRequests()
{
    bool settled = false;
    std::vector<CloseRequest> all = ReceivedCloseRequests(host_, settled);
    EXPECT_TRUE(settled) << "the host stand-in did not answer";
    std::vector<CloseRequest> fresh(all.begin() + std::min(seenRequests_, all.size()), all.end());
    seenRequests_ = all.size();
    return fresh;
}

} // namespace e2e
