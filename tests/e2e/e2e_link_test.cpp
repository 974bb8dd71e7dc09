// The data folder holds links that lead out of it: the run must leave what
// they lead to alone. Wine makes no links itself, so its runner
// (tests/support/with-links) makes the data folder with its links on the
// Linux side, runs this program and checks afterwards that the targets are
// unchanged, the one that no drive reaches included; it also removes the links
// (this program never deletes in the data folder itself: on Wine a deletion
// through a link to a file deletes the file it leads to).
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "e2e_fixture.h"

namespace {

using namespace e2e;

// Throw-away targets made by its runner (data-folder-links.table).
const std::wstring kOutside = L"C:\\fullcheck-e2e-links\\outside";
const char kKeepText[] = "outside, must stay\n";

class LinkedDataFolder : public CheckFixture {
  protected:
    LinkedDataFolder() : CheckFixture(false) {}
};

TEST_F(LinkedDataFolder, LinksLeadingOutsideLeaveTheirTargetsAlone)
{
    ASSERT_TRUE(IsFolder(kOutside)) << "run through tests/support/with-links, which prepares the data folder";
    SeedAccountFile();
    // Each link really leads out of the data folder.
    ASSERT_TRUE(WriteTextFile(dataFolder_ + L"\\Ordner-Link\\Probe.txt", "probe"));
    ASSERT_EQ(ReadTextFile(kOutside + L"\\Ordner\\Probe.txt"), "probe");
    ASSERT_TRUE(DeleteFileW((kOutside + L"\\Ordner\\Probe.txt").c_str()));
    ASSERT_EQ(ReadTextFile(dataFolder_ + L"\\Datei-Link.txt"), kKeepText);
    ASSERT_EQ(ReadTextFile(dataFolder_ + L"\\Ausserhalb-Link\\behalten.txt"), kKeepText);
    ASSERT_EQ(ReadTextFile(dataFolder_ + L"\\Corvanta-Link\\Geschwister.txt"), "neighbour");
    std::vector<std::wstring> outsideBefore = Snapshot(kOutside);
    ASSERT_EQ(outsideBefore.size(), 5u); // a file; a folder holding a file and a sub-folder with one

    CheckRun run = Run(kAccept, Answer::Yes);

    // The parent folder that one link leads to is checked with the other
    // neighbours of the data folder by Run.
    EXPECT_TRUE(run.prompted) << Describe(run);
    EXPECT_EQ(Snapshot(kOutside), outsideBefore);
    EXPECT_EQ(ReadTextFile(kOutside + L"\\Datei.txt"), kKeepText);
    EXPECT_EQ(ReadTextFile(kOutside + L"\\Ordner\\behalten.txt"), kKeepText);
    EXPECT_EQ(ReadTextFile(kOutside + L"\\Ordner\\Unterordner\\behalten.txt"), kKeepText);
    // The links stay, and with them the data folder; everything else goes.
    EXPECT_FALSE(Exists(dataFolder_ + L"\\Einstellungen.xml"));
    EXPECT_FALSE(Exists(dataFolder_ + L"\\Backups"));
    EXPECT_FALSE(Exists(accountFile_));
}

} // namespace
