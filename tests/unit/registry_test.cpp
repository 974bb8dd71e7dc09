#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "platform/registry.h"
#include "test_registry.h"

namespace {

const std::wstring kTestKey = L"Software\\FullCheckTests\\ReadRegValue";

class ReadRegValueTest : public ::testing::Test {
  protected:
    void SetUp() override { DeleteKeyTree(HKEY_CURRENT_USER, kTestKey); }
    void TearDown() override { DeleteKeyTree(HKEY_CURRENT_USER, kTestKey); }
};

// A destination preset with a marker, so that "untouched" can be seen.
struct Destination {
    WCHAR units[MAX_PATH];
    Destination() { std::fill(std::begin(units), std::end(units), L'#'); }
    BYTE* bytes() { return reinterpret_cast<BYTE*>(units); }
    bool untouched() const
    {
        return std::all_of(std::begin(units), std::end(units), [](WCHAR c) { return c == L'#'; });
    }
};

TEST_F(ReadRegValueTest, SlashAndBackslashPathsOpenTheSameKey)
{
    ASSERT_EQ(WriteText(HKEY_CURRENT_USER, kTestKey + L"\\Sub", L"Name", L"value"), ERROR_SUCCESS);
    for (const WCHAR* path :
         {L"Software/FullCheckTests/ReadRegValue/Sub", L"Software\\FullCheckTests\\ReadRegValue\\Sub",
          L"Software/FullCheckTests\\ReadRegValue/Sub"}) {
        Destination d;
        EXPECT_EQ(ReadRegValue(HKEY_CURRENT_USER, path, L"Name", REG_SZ, d.bytes()), 1);
        EXPECT_STREQ(d.units, L"value");
    }
}

TEST_F(ReadRegValueTest, MissingKeyOrValueLeavesTheDestinationUntouched)
{
    ASSERT_EQ(WriteText(HKEY_CURRENT_USER, kTestKey, L"Other", L"x"), ERROR_SUCCESS);

    Destination missingValue;
    EXPECT_EQ(ReadRegValue(HKEY_CURRENT_USER, kTestKey.c_str(), L"Name", REG_SZ, missingValue.bytes()), 1);
    EXPECT_TRUE(missingValue.untouched());

    Destination missingKey;
    EXPECT_EQ(ReadRegValue(HKEY_CURRENT_USER, (kTestKey + L"\\Absent").c_str(), L"Name", REG_SZ,
                           missingKey.bytes()),
              0);
    EXPECT_TRUE(missingKey.untouched());
}

TEST_F(ReadRegValueTest, TheStoredByteCountDecidesWhetherATextFits)
{
    // 129 characters and a terminator are 260 bytes: read whole. 130 and a
    // terminator are 262: too large, and no more than 260 bytes are written.
    const std::wstring fits(129, L'a');
    const std::wstring tooLong(130, L'b');
    ASSERT_EQ(WriteText(HKEY_CURRENT_USER, kTestKey, L"Fits", fits), ERROR_SUCCESS);
    ASSERT_EQ(WriteText(HKEY_CURRENT_USER, kTestKey, L"TooLong", tooLong), ERROR_SUCCESS);
    ASSERT_EQ(WriteText(HKEY_CURRENT_USER, kTestKey, L"Unterminated", tooLong, false), ERROR_SUCCESS);

    Destination d;
    EXPECT_EQ(ReadRegValue(HKEY_CURRENT_USER, kTestKey.c_str(), L"Fits", REG_SZ, d.bytes()), 1);
    EXPECT_EQ(std::wstring(d.units, 130), fits + L'\0');

    Destination big;
    EXPECT_EQ(ReadRegValue(HKEY_CURRENT_USER, kTestKey.c_str(), L"TooLong", REG_SZ, big.bytes()), 1);
    EXPECT_NE(std::wstring(big.units, 130), tooLong) << "a 262-byte value must not be read";
    EXPECT_TRUE(std::all_of(big.units + 130, big.units + MAX_PATH, [](WCHAR c) { return c == L'#'; }))
        << "nothing may be written past the 260-byte capacity";

    Destination exact;
    EXPECT_EQ(ReadRegValue(HKEY_CURRENT_USER, kTestKey.c_str(), L"Unterminated", REG_SZ, exact.bytes()), 1);
    EXPECT_EQ(std::wstring(exact.units, 130), tooLong) << "130 units without terminator are 260 bytes";
}

TEST_F(ReadRegValueTest, DwordTypeGivesAFourByteCapacity)
{
    const DWORD number = 0x12345678;
    ASSERT_EQ(WriteRawValue(HKEY_CURRENT_USER, kTestKey, L"Number", REG_DWORD, &number, 4), ERROR_SUCCESS);
    ASSERT_EQ(WriteText(HKEY_CURRENT_USER, kTestKey, L"One", L"1"), ERROR_SUCCESS);
    ASSERT_EQ(WriteText(HKEY_CURRENT_USER, kTestKey, L"Two", L"12"), ERROR_SUCCESS);

    Destination d;
    EXPECT_EQ(ReadRegValue(HKEY_CURRENT_USER, kTestKey.c_str(), L"Number", REG_DWORD, d.bytes()), 1);
    DWORD read = 0;
    memcpy(&read, d.units, 4);
    EXPECT_EQ(read, number);
    EXPECT_EQ(d.units[2], L'#');

    Destination one;
    EXPECT_EQ(ReadRegValue(HKEY_CURRENT_USER, kTestKey.c_str(), L"One", REG_DWORD, one.bytes()), 1);
    EXPECT_EQ(std::wstring(one.units, 2), std::wstring(L"1\0", 2)) << "4 bytes: one character and terminator";

    Destination two;
    EXPECT_EQ(ReadRegValue(HKEY_CURRENT_USER, kTestKey.c_str(), L"Two", REG_DWORD, two.bytes()), 1);
    EXPECT_TRUE(std::all_of(two.units + 2, two.units + MAX_PATH, [](WCHAR c) { return c == L'#'; }));
}

TEST_F(ReadRegValueTest, OverlongSubKeyOpensNothing)
{
    ASSERT_EQ(WriteText(HKEY_CURRENT_USER, kTestKey, L"Name", L"value"), ERROR_SUCCESS);
    // The real key followed by enough separators to reach 259 and 260 units:
    // the registry ignores a trailing backslash, so a truncating copy would
    // open the key.
    std::wstring path259 = kTestKey + std::wstring(259 - kTestKey.size(), L'\\');
    std::wstring path260 = path259 + L'\\';
    std::wstring path400 = kTestKey + std::wstring(400 - kTestKey.size(), L'/');

    Destination d259;
    EXPECT_EQ(ReadRegValue(HKEY_CURRENT_USER, path260.c_str(), L"Name", REG_SZ, d259.bytes()), 0);
    EXPECT_TRUE(d259.untouched());
    Destination d400;
    EXPECT_EQ(ReadRegValue(HKEY_CURRENT_USER, path400.c_str(), L"Name", REG_SZ, d400.bytes()), 0);
    EXPECT_TRUE(d400.untouched());
}

} // namespace
