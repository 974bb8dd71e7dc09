// Random registry contents against the probes: nothing may crash or read out
// of bounds, and every case whose outcome the rules define must give it.
#include <windows.h>

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "check/probes.h"
#include "host_keys.h"
#include "test_registry.h"
#include "test_tree.h"
#include "text.h"

namespace {

const DWORD kTypes[] = {REG_SZ, REG_EXPAND_SZ, REG_MULTI_SZ, REG_DWORD, REG_BINARY, REG_NONE};
const size_t kCombinations = 2000;

// One value as stored: its type and its exact bytes (absent when not stored).
struct StoredValue {
    bool present;
    DWORD type;
    std::vector<BYTE> bytes;
};

std::vector<BYTE> TextBytes(const std::wstring& text, bool terminated)
{
    return BytesOf(terminated ? text + L'\0' : text);
}

class ValueGenerator {
  public:
    ValueGenerator(unsigned seed, std::vector<std::wstring> paths) : random_(seed), paths_(std::move(paths))
    {
    }

    StoredValue Next()
    {
        StoredValue value{Pick(8) != 0, kTypes[Pick(ARRAYSIZE(kTypes))], {}};
        switch (Pick(4)) {
        case 0: // a path, as installers and users write them
            value.bytes = TextBytes(DecoratePath(paths_[Pick(paths_.size())]), Pick(4) != 0);
            break;
        case 1: // a short text whose first unit matters
            value.bytes = TextBytes(std::wstring(1 + Pick(3), InterestingUnit()), Pick(2) != 0);
            break;
        case 2: // random UTF-16, unpaired surrogates included, up to 5000 bytes
            value.bytes = TextBytes(RandomUnits(Pick(2501)), Pick(2) != 0);
            break;
        default: // raw bytes of any length, odd counts included
            value.bytes.resize(Pick(5001));
            for (BYTE& b : value.bytes)
                b = static_cast<BYTE>(Pick(256));
            break;
        }
        return value;
    }

  private:
    size_t Pick(size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(random_); }

    WCHAR InterestingUnit()
    {
        const WCHAR units[] = {L'0', L'1', 0x0130, 0x0030, 0x3030, 0xD800, 0xDC00, L' ', 0x0000, 0xFFFF};
        return units[Pick(ARRAYSIZE(units))];
    }

    std::wstring RandomUnits(size_t count)
    {
        std::wstring text(count, L'\0');
        for (WCHAR& c : text)
            c = Pick(4) == 0 ? InterestingUnit() : static_cast<WCHAR>(Pick(0x10000));
        return text;
    }

    std::wstring DecoratePath(const std::wstring& path)
    {
        switch (Pick(4)) {
        case 0:
            return L"\"" + path + L"\"";
        case 1:
            return path + L" /uninstall";
        default:
            return path;
        }
    }

    std::mt19937 random_;
    std::vector<std::wstring> paths_;
};

// What the rules say for an activity value, which fits the 260-byte capacity
// or is absent; one that does not fit leaves the preset (Wine copies
// nothing).
bool ExpectedActivityFlag(const StoredValue& value)
{
    WCHAR first = L'0';
    if (value.present && value.bytes.size() <= 260 && !value.bytes.empty()) {
        first = value.bytes.size() == 1 ? static_cast<WCHAR>(value.bytes[0])
                                        : static_cast<WCHAR>(value.bytes[0] | (value.bytes[1] << 8));
    }
    return (first & 0xFF) != 0x30;
}

// An uninstall entry is read whatever its length.
bool ExpectedRowCounts(const StoredValue& value)
{
    if (!value.present) {
        return false;
    }
    std::wstring text(reinterpret_cast<const WCHAR*>(value.bytes.data()), value.bytes.size() / sizeof(WCHAR));
    if (value.bytes.size() % 2) {
        text += static_cast<WCHAR>(value.bytes.back());
    }
    text = text.substr(0, text.find(L'\0'));
    if (text.empty()) {
        return false;
    }
    DWORD attributes = GetFileAttributesW(text.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

void Store(HKEY root, const std::wstring& key, const WCHAR* name, const StoredValue& value)
{
    if (!value.present) {
        return;
    }
    ASSERT_EQ(WriteExactValue(root, key, name, value.type, value.bytes), ERROR_SUCCESS);
}

TEST(ProbesFuzz, RandomRegistryContentsGiveTheRulesOutcome)
{
    const std::wstring temp = TempFolder();
    ASSERT_FALSE(temp.empty());
    const std::wstring existing = temp + L"fuzz-uninstaller.exe";
    ASSERT_TRUE(WriteTextFile(existing, ""));
    // Over 260 bytes as a value: a deep installation folder.
    const std::wstring deep = temp + std::wstring(180, L'd') + L".exe";
    ASSERT_TRUE(WriteTextFile(deep, ""));
    // canary.txt is relative to the current folder, the scratch drive.
    ValueGenerator generate(20261208, {existing, deep, temp + L"missing-uninstaller.exe", L"canary.txt",
                                       L"missing.exe", temp, temp + L"fuzz-uninstaller.ex\u0130"});

    size_t installedCount = 0, activeCount = 0, oversized = 0;
    DWORD started = GetTickCount();
    for (size_t round = 0; round < kCombinations; ++round) {
        ClearHostKeys();
        bool expectedInstalled = false;
        for (const WCHAR* row : kUninstallKeys) {
            StoredValue value = generate.Next();
            Store(HKEY_LOCAL_MACHINE, row, L"UninstallString", value);
            expectedInstalled = expectedInstalled || ExpectedRowCounts(value);
            oversized += value.present && value.bytes.size() > 260;
        }
        bool expectedFlags[2];
        for (int i = 0; i < 2; ++i) {
            StoredValue value = generate.Next();
            Store(HKEY_CURRENT_USER, kActivityKey, kActivityNames[i], value);
            expectedFlags[i] = ExpectedActivityFlag(value);
            oversized += value.present && value.bytes.size() > 260;
        }
        if (HasFatalFailure()) {
            break;
        }

        bool dwValue = false, dwValue2 = false;
        ReadActivityFlags(dwValue, dwValue2);
        bool installed = ProbeInstalled();
        ASSERT_EQ(installed, expectedInstalled) << "round " << round;
        ASSERT_EQ(dwValue, expectedFlags[0]) << "round " << round;
        ASSERT_EQ(dwValue2, expectedFlags[1]) << "round " << round;
        installedCount += installed;
        activeCount += dwValue || dwValue2;
    }
    ClearHostKeys();
    DeleteFileW(existing.c_str());
    DeleteFileW(deep.c_str());
    DWORD elapsed = GetTickCount() - started;
    RecordProperty("combinations", static_cast<int>(kCombinations));
    printf("probes fuzz: %u combinations (%u values), %u oversized values, installed in %u, active in %u, "
           "%lu ms\n",
           static_cast<unsigned>(kCombinations), static_cast<unsigned>(kCombinations * 8),
           static_cast<unsigned>(oversized), static_cast<unsigned>(installedCount),
           static_cast<unsigned>(activeCount), static_cast<unsigned long>(elapsed));
    EXPECT_LT(elapsed, 60000u);
}

} // namespace
