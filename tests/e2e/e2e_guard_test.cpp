// The guards of a run with more rights than the user who shapes its
// surroundings: no DLL planted beside the program or in the current folder
// is ever loaded, and on a window station that nobody sees, the program asks
// nothing and ends at once.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "e2e_fixture.h"

namespace {

using namespace e2e;

// Every DLL that Wine maps into the program from its start through the
// prompt and the removal (a +loaddll run), the further ones Windows maps on
// that way, and the toolchain's runtime DLLs (the image must need none).
const WCHAR* const kPlantedNames[] = {
    L"advapi32.dll",    L"bcrypt.dll",          L"combase.dll", L"comctl32.dll", L"cryptbase.dll",
    L"dwmapi.dll",      L"gdi32.dll",           L"imm32.dll",   L"kernel32.dll", L"kernelbase.dll",
    L"msimg32.dll",     L"msvcrt.dll",          L"ntdll.dll",   L"ole32.dll",    L"oleaut32.dll",
    L"profapi.dll",     L"propsys.dll",         L"rpcrt4.dll",  L"sechost.dll",  L"setupapi.dll",
    L"shcore.dll",      L"shell32.dll",         L"shlwapi.dll", L"ucrtbase.dll", L"user32.dll",
    L"userenv.dll",     L"uxtheme.dll",         L"version.dll", L"win32u.dll",   L"windows.storage.dll",
    L"winmm.dll",       L"winex11.drv",         L"zlib1.dll",   L"mscoree.dll",  L"libgcc_s_dw2-1.dll",
    L"libstdc++-6.dll", L"libwinpthread-1.dll",
};

// Names that Wine 8 and Wine 10 both load from beside a program and from its
// current folder rather than taking a built-in of their own, measured with
// the control and every name above planted (beside it both also take
// dwmapi, propsys, shcore and userenv; Wine 8 takes profapi too): a program
// without the restriction must load these.
const WCHAR* const kLoadedWhenUnguarded[] = {
    L"cryptbase.dll",   L"windows.storage.dll", L"libgcc_s_dw2-1.dll",
    L"libstdc++-6.dll", L"libwinpthread-1.dll",
};

// SizeOfImage of the DLL file at path; 0 when it cannot be read.
DWORD ImageSize(const std::wstring& path)
{
    std::string bytes = ReadTextFile(path);
    IMAGE_DOS_HEADER dos;
    IMAGE_NT_HEADERS32 nt;
    if (bytes.size() < sizeof(dos)) {
        return 0;
    }
    memcpy(&dos, bytes.data(), sizeof(dos));
    if (dos.e_lfanew < 0 || bytes.size() < static_cast<size_t>(dos.e_lfanew) + sizeof(nt)) {
        return 0;
    }
    memcpy(&nt, bytes.data() + dos.e_lfanew, sizeof(nt));
    return nt.OptionalHeader.SizeOfImage;
}

class PlantedDll : public CheckFixture {
  protected:
    void SetUp() override
    {
        CheckFixture::SetUp();
        planted_ = work_ + L"\\planted";
        RemoveTree(planted_);
    }
    void TearDown() override
    {
        RemoveTree(planted_);
        CheckFixture::TearDown();
    }

    // A copy of the recording DLL under every name in folder.
    static void PlantAll(const std::wstring& folder)
    {
        std::wstring dll = ProgramFolder() + L"\\e2e_planted.dll";
        for (const WCHAR* name : kPlantedNames) {
            ASSERT_TRUE(CopyFileW(dll.c_str(), (folder + L"\\" + name).c_str(), FALSE)) << Narrow(name);
        }
    }

    // The markers written by planted DLLs that were loaded.
    static std::vector<std::wstring> Markers(const std::wstring& folder)
    {
        std::vector<std::wstring> markers;
        for (const std::wstring& name : ListFolder(folder)) {
            if (name.size() > 7 && name.compare(name.size() - 7, 7, L".loaded") == 0) {
                markers.push_back(name);
            }
        }
        return markers;
    }

    std::wstring planted_;
};

// The DLL records every load: without that, no marker would prove nothing.
TEST_F(PlantedDll, TheRecordingDllMarksItsLoad)
{
    std::wstring folder = planted_ + L"\\probe";
    std::wstring copy = folder + L"\\e2e_planted.dll";
    ASSERT_TRUE(MakeFolders(folder));
    ASSERT_TRUE(CopyFileW((ProgramFolder() + L"\\e2e_planted.dll").c_str(), copy.c_str(), FALSE));
    HMODULE module = LoadLibraryW(copy.c_str());
    ASSERT_NE(module, nullptr) << GetLastError();
    FreeLibrary(module);
    EXPECT_EQ(Markers(folder), std::vector<std::wstring>{L"e2e_planted.dll.loaded"});
}

// The check, and a control without the DLL-search restriction, each run with
// every name planted beside it or in its current folder. The control shows
// that this Wine does load planted DLLs there and that the markers and the
// mapped images reveal it: the check must load none.
TEST_F(PlantedDll, NoneLoadsFromBesideTheProgramOrFromTheCurrentFolder)
{
    const struct {
        const char* where;
        const WCHAR* folder;
        bool besideProgram;
        bool control;
    } cases[] = {
        {"beside the program", L"beside", true, false},
        {"in the current folder", L"current", false, false},
        {"beside the control", L"beside-control", true, true},
        {"in the control's current folder", L"current-control", false, true},
    };
    DWORD plantedSize = ImageSize(ProgramFolder() + L"\\e2e_planted.dll");
    ASSERT_NE(plantedSize, 0u);
    std::wstring allNames;
    for (const WCHAR* name : kPlantedNames) {
        allNames += L" " + std::wstring(name);
    }
    for (const auto& c : cases) {
        SCOPED_TRACE(c.where);
        SeedDataFolder();
        SeedAccountFile();
        std::wstring folder = planted_ + L"\\" + c.folder;
        ASSERT_TRUE(MakeFolders(folder));
        PlantAll(folder);
        std::wstring program = c.control ? ProgramFolder() + L"\\e2e_unguarded.exe" : CheckProgram();
        CheckStart start{program, L""};
        if (c.besideProgram) {
            start.program = folder + L"\\" + program.substr(program.rfind(L'\\') + 1);
            ASSERT_TRUE(CopyFileW(program.c_str(), start.program.c_str(), FALSE));
        } else {
            start.currentFolder = folder;
        }

        // Yes: the removal's look-ups load the shell too. The control loads
        // every planted name.
        CheckRun run = Run(start, c.control ? allNames : kAccept, Answer::Yes);

        EXPECT_TRUE(run.prompted) << Describe(run);
        EXPECT_FALSE(run.modulesAtPrompt.empty()) << "the program's modules could not be read";
        // Wine names a builtin DLL that it loads instead of a file it found
        // after that file: what counts is which image is mapped.
        std::vector<std::wstring> plantedImages;
        for (const LoadedModule& module : run.modulesAtPrompt) {
            if (!RelativeTo(folder, module.path).empty() && module.sizeOfImage == plantedSize) {
                plantedImages.push_back(module.path);
            } else if (!RelativeTo(folder, module.path).empty() && module.path != start.program) {
                std::cout << "named after the planted file, not its image: " << Narrow(module.path)
                          << std::endl;
            }
        }
        std::vector<std::wstring> markers = Markers(folder);
        std::cout << c.where << ": " << markers.size() << " planted DLLs loaded, " << plantedImages.size()
                  << " mapped at the prompt";
        for (const std::wstring& marker : markers) {
            std::cout << " " << Narrow(marker);
        }
        std::cout << std::endl;
        if (c.control) {
            for (const WCHAR* name : kLoadedWhenUnguarded) {
                EXPECT_NE(std::find(markers.begin(), markers.end(), std::wstring(name) + L".loaded"),
                          markers.end())
                    << Narrow(name) << " planted, but the control did not load it";
            }
            EXPECT_FALSE(plantedImages.empty()) << "no planted image mapped in the control";
            continue;
        }
        EXPECT_EQ(markers, std::vector<std::wstring>{});
        EXPECT_EQ(plantedImages, std::vector<std::wstring>{});
        EXPECT_FALSE(Exists(dataFolder_)) << "the run did not reach the removal";
        EXPECT_FALSE(Exists(accountFile_));
    }
}

// ---- A window station nobody sees ------------------------------------------

const WCHAR kStation[] = L"FullCheckUnseen";
const WCHAR kDesktop[] = L"FullCheckUnseen\\Default";
// At once, without waiting for an answer: 40 to 130 ms from CreateProcessW
// to the exit on an idle machine, up to 2.3 s measured with Wine under
// emulation beside a second suite; a box would wait for kHangLimitMs.
#ifndef FULLCHECK_COVERAGE
const DWORD kPromptlyMs = 5000;
#else
// The coverage build (scripts/coverage) writes its counts as it exits, for
// seconds under Wine.
const DWORD kPromptlyMs = 10000;
#endif
const DWORD kHangLimitMs = 15000;

// The station's WSF_VISIBLE; read false when the flags cannot be read.
bool StationVisible(HWINSTA station, bool& read)
{
    USEROBJECTFLAGS flags = {};
    DWORD needed = 0;
    read = GetUserObjectInformationW(station, UOI_FLAGS, &flags, sizeof(flags), &needed) != FALSE;
    return read && (flags.dwFlags & WSF_VISIBLE) != 0;
}

class InvisibleStation : public CheckFixture {};

TEST_F(InvisibleStation, EndsAtOnceWithoutAQuestionAndDeletesNothing)
{
    SeedDataFolder();
    SeedAccountFile();
    std::vector<std::wstring> dataBefore = DataSnapshot();

    bool read = false;
    HWINSTA own = GetProcessWindowStation();
    ASSERT_NE(own, nullptr);
    EXPECT_TRUE(StationVisible(own, read)) << "the tests' own station, read " << read;
    HWINSTA station = CreateWindowStationW(kStation, 0, WINSTA_ALL_ACCESS, nullptr);
    ASSERT_NE(station, nullptr) << GetLastError();
    EXPECT_FALSE(StationVisible(station, read));
    EXPECT_TRUE(read);
    // A desktop is made on the station the calling process is on.
    HDESK desktop = nullptr;
    if (SetProcessWindowStation(station)) {
        desktop = CreateDesktopW(L"Default", nullptr, nullptr, 0, GENERIC_ALL, nullptr);
        ASSERT_TRUE(SetProcessWindowStation(own));
    }
    ASSERT_NE(desktop, nullptr) << GetLastError();

    PROCESS_INFORMATION process = {};
    DWORD started = GetTickCount();
    ASSERT_TRUE(StartProgram(CheckProgram(), kAccept, process, nullptr, kDesktop)) << GetLastError();
    DWORD exitCode = STILL_ACTIVE;
    bool ended = EndProgram(process, kHangLimitMs, &exitCode);
    DWORD elapsed = GetTickCount() - started;
    CloseDesktop(desktop);
    CloseWindowStation(station);

    RecordProperty("milliseconds", static_cast<int>(elapsed));
    std::cout << "exited after " << elapsed << " ms" << std::endl;
    ASSERT_TRUE(ended) << "still running after " << kHangLimitMs << " ms: a box nobody can answer";
    EXPECT_EQ(exitCode, 0u);
    EXPECT_LT(elapsed, kPromptlyMs);
    EXPECT_EQ(DataSnapshot(), dataBefore);
    EXPECT_EQ(ReadTextFile(accountFile_), "Konten von Anna");
    ExpectSurroundingsIntact();
}

} // namespace
