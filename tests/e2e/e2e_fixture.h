// The common ground of every end-to-end case: the data folder, the account
// file and their neighbours seeded, the registry cleared of what the program
// reads, and after every run the check that nothing around the data moved.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "e2e_run.h"
#include "host_keys.h"
#include "program.h"
#include "sandbox.h"
#include "test_registry.h"
#include "test_tree.h"
#include "text.h"

namespace e2e {

// The command-line tail the uninstaller passes.
extern const WCHAR kAccept[];

std::string Describe(const CheckRun& run);

class CheckFixture : public ::testing::Test {
  protected:
    // dataFolderIsOurs false: the data folder was prepared outside the test
    // (links made on the Linux side) and is neither cleared nor removed here.
    explicit CheckFixture(bool dataFolderIsOurs = true) : dataFolderIsOurs_(dataFolderIsOurs) {}

    void SetUp() override;
    void TearDown() override;

    // Files, sub-folders, an empty folder and a hidden file.
    void SeedDataFolder();
    void SeedAccountFile();
    std::vector<std::wstring> DataSnapshot() const;

    // Runs the program (see RunCheck) and checks what every run must leave
    // as it was: exit code 0, no window but the prompt, the canaries and the
    // neighbours of the data folder and of the account file.
    CheckRun Run(const std::wstring& commandTail, Answer answer);
    CheckRun Run(const CheckStart& start, const std::wstring& commandTail, Answer answer);
    void ExpectRunEndedCleanly(const CheckRun& run);
    void ExpectSurroundingsIntact();

    // Close requests the host stand-in received since the last call.
    std::vector<CloseRequest> NewCloseRequests();

    std::wstring roaming_;
    std::wstring documents_;
    std::wstring work_;
    std::wstring dataFolder_;
    std::wstring accountFile_;
    HostStandIn host_;

  private:
    // The registry values the check reads, the data folder (when ours) and
    // the account file.
    void ClearDataAndKeys();

    bool dataFolderIsOurs_;
    std::vector<std::wstring> roamingBefore_;
    std::vector<std::wstring> documentsBefore_;
    size_t seenRequests_ = 0;
};

} // namespace e2e
