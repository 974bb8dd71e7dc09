#include <gtest/gtest.h>

#include "check/decision.h"

namespace {

TEST(ArgumentGate, AcceptsOnlyTheExactSingleArgument)
{
    struct Case {
        std::vector<const char*> args;
        bool accepted;
    };
    const Case cases[] = {
        {{"check.exe"}, false},
        {{"check.exe", "askfulluninstallation"}, true},
        {{"check.exe", "askfulluninstallation", "askfulluninstallation"}, false},
        {{"check.exe", "AskFullUninstallation"}, false},
        {{"check.exe", "askfulluninstallationx"}, false},
        {{"check.exe", "askfulluninstallatio"}, false},
        {{"check.exe", " askfulluninstallation"}, false},
        {{"check.exe", ""}, false},
    };
    for (const Case& c : cases) {
        std::vector<char*> argv;
        for (const char* a : c.args)
            argv.push_back(const_cast<char*>(a));
        argv.push_back(nullptr);
        EXPECT_EQ(IsFullUninstallRequest(static_cast<int>(c.args.size()), argv.data()), c.accepted)
            << "argc " << c.args.size() << ", last argument '" << c.args.back() << "'";
    }
}

TEST(Decision, PromptsOnlyWhenNothingIsInstalledOrActiveAndTheSessionsUserRuns)
{
    for (int bits = 0; bits < 16; ++bits) {
        bool installed = bits & 1, dwValue = bits & 2, dwValue2 = bits & 4, sessionUser = bits & 8;
        EXPECT_EQ(ShouldPrompt(installed, dwValue, dwValue2, sessionUser), bits == 8)
            << installed << dwValue << dwValue2 << sessionUser;
    }
}

} // namespace
