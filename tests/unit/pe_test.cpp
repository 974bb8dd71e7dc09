// Properties of the built FullUninstallCheck.exe that the user's Windows
// relies on, read from the file itself: header fields, the imported DLLs and
// the resources (manifest, version, icons). The program lies next to this
// test in the build's bin folder.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "program.h"
#include "test_tree.h"

#define FULLCHECK_WIDEN2(x) L##x
#define FULLCHECK_WIDEN(x) FULLCHECK_WIDEN2(x)

namespace {

using Bytes = std::vector<unsigned char>;

const WORD kResourceManifest = 24;  // RT_MANIFEST
const WORD kResourceGroupIcon = 14; // RT_GROUP_ICON
const WORD kResourceIcon = 3;       // RT_ICON

// Copies a T from `offset`; false when it would reach past the end.
template <typename T> bool ReadAt(const Bytes& bytes, size_t offset, T& out)
{
    if (offset > bytes.size() || bytes.size() - offset < sizeof(T)) {
        return false;
    }
    std::memcpy(&out, bytes.data() + offset, sizeof(T));
    return true;
}

// The file and where its parts are; `error` says what was malformed.
struct PeFile {
    Bytes bytes;
    IMAGE_FILE_HEADER file{};
    IMAGE_OPTIONAL_HEADER32 optional{};
    std::vector<IMAGE_SECTION_HEADER> sections;
    std::string error;
};

PeFile LoadPe(const std::wstring& path)
{
    PeFile pe;
    std::string file = ReadTextFile(path);
    pe.bytes.assign(file.begin(), file.end());
    IMAGE_DOS_HEADER dos;
    DWORD signature = 0;
    if (!ReadAt(pe.bytes, 0, dos) || dos.e_magic != IMAGE_DOS_SIGNATURE) {
        pe.error = "no MZ header";
        return pe;
    }
    size_t at = static_cast<size_t>(dos.e_lfanew);
    if (!ReadAt(pe.bytes, at, signature) || signature != IMAGE_NT_SIGNATURE ||
        !ReadAt(pe.bytes, at + 4, pe.file)) {
        pe.error = "no PE signature";
        return pe;
    }
    at += 4 + sizeof(IMAGE_FILE_HEADER);
    // The magic decides the optional header's layout: read it alone first.
    WORD magic = 0;
    if (!ReadAt(pe.bytes, at, magic) || magic != IMAGE_NT_OPTIONAL_HDR32_MAGIC ||
        pe.file.SizeOfOptionalHeader < sizeof(IMAGE_OPTIONAL_HEADER32) ||
        !ReadAt(pe.bytes, at, pe.optional)) {
        pe.error = "not a PE32 optional header";
        return pe;
    }
    at += pe.file.SizeOfOptionalHeader;
    for (WORD i = 0; i < pe.file.NumberOfSections; ++i) {
        IMAGE_SECTION_HEADER section;
        if (!ReadAt(pe.bytes, at + i * sizeof(section), section)) {
            pe.error = "section table cut off";
            return pe;
        }
        pe.sections.push_back(section);
    }
    return pe;
}

// File offset of `size` bytes at `rva`, all in one section's raw data; SIZE_MAX when not.
size_t OffsetOf(const PeFile& pe, DWORD rva, DWORD size)
{
    for (const IMAGE_SECTION_HEADER& s : pe.sections) {
        if (rva >= s.VirtualAddress && rva - s.VirtualAddress < s.SizeOfRawData &&
            s.SizeOfRawData - (rva - s.VirtualAddress) >= size) {
            size_t offset = static_cast<size_t>(s.PointerToRawData) + (rva - s.VirtualAddress);
            return offset + size <= pe.bytes.size() ? offset : SIZE_MAX;
        }
    }
    return SIZE_MAX;
}

// Zero-terminated 8-bit text at `rva`; empty when unterminated or outside the file.
std::string TextAt(const PeFile& pe, DWORD rva)
{
    size_t offset = OffsetOf(pe, rva, 1);
    if (offset == SIZE_MAX) {
        return "";
    }
    auto begin = pe.bytes.begin() + offset;
    auto end = std::find(begin, pe.bytes.end(), 0);
    return end == pe.bytes.end() ? "" : std::string(begin, end);
}

std::string Upper(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::toupper(c); });
    return text;
}

// Names of the imported DLLs, upper-cased; "?" stands for a descriptor that cannot be read.
std::set<std::string> ImportedDlls(const PeFile& pe)
{
    std::set<std::string> dlls;
    const IMAGE_DATA_DIRECTORY& dir = pe.optional.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    for (DWORD at = 0; dir.VirtualAddress != 0; at += sizeof(IMAGE_IMPORT_DESCRIPTOR)) {
        IMAGE_IMPORT_DESCRIPTOR d;
        size_t offset = OffsetOf(pe, dir.VirtualAddress + at, sizeof d);
        if (offset == SIZE_MAX || !ReadAt(pe.bytes, offset, d)) {
            dlls.insert("?");
            break;
        }
        if (d.Name == 0 && d.FirstThunk == 0) {
            break; // the all-zero descriptor ends the table
        }
        std::string name = TextAt(pe, d.Name);
        dlls.insert(name.empty() ? "?" : Upper(name));
    }
    return dlls;
}

// The resource tree: root -> type -> name -> language -> data.
struct ResourceEntry {
    DWORD id;     // the integer id; names given as strings are not used here
    bool named;   // the entry has a string name instead of an id
    DWORD target; // offset from the tree's start
    bool isDirectory;
};

std::vector<ResourceEntry> ResourceDirectory(const PeFile& pe, size_t treeOffset, DWORD dirOffset)
{
    std::vector<ResourceEntry> entries;
    IMAGE_RESOURCE_DIRECTORY dir;
    if (!ReadAt(pe.bytes, treeOffset + dirOffset, dir)) {
        return entries;
    }
    size_t first = treeOffset + dirOffset + sizeof dir;
    for (size_t i = 0; i < size_t{dir.NumberOfNamedEntries} + dir.NumberOfIdEntries; ++i) {
        DWORD raw[2]; // name or id, then data or subdirectory offset
        if (!ReadAt(pe.bytes, first + i * sizeof raw, raw)) {
            break;
        }
        entries.push_back(
            {raw[0] & 0xFFFF, (raw[0] & 0x80000000) != 0, raw[1] & 0x7FFFFFFF, (raw[1] & 0x80000000) != 0});
    }
    return entries;
}

size_t ResourceTreeOffset(const PeFile& pe)
{
    const IMAGE_DATA_DIRECTORY& dir = pe.optional.DataDirectory[IMAGE_DIRECTORY_ENTRY_RESOURCE];
    return dir.VirtualAddress == 0 ? SIZE_MAX : OffsetOf(pe, dir.VirtualAddress, dir.Size);
}

// Integer ids of the resources of `type`.
std::vector<WORD> ResourceIds(const PeFile& pe, WORD type)
{
    std::vector<WORD> ids;
    size_t tree = ResourceTreeOffset(pe);
    if (tree == SIZE_MAX) {
        return ids;
    }
    for (const ResourceEntry& t : ResourceDirectory(pe, tree, 0)) {
        if (t.named || t.id != type || !t.isDirectory) {
            continue;
        }
        for (const ResourceEntry& n : ResourceDirectory(pe, tree, t.target)) {
            if (!n.named) {
                ids.push_back(static_cast<WORD>(n.id));
            }
        }
    }
    return ids;
}

// The data of resource `type`/`id` in its first language; false when absent or outside the file.
bool ResourceData(const PeFile& pe, WORD type, WORD id, Bytes& data)
{
    size_t tree = ResourceTreeOffset(pe);
    if (tree == SIZE_MAX) {
        return false;
    }
    for (const ResourceEntry& t : ResourceDirectory(pe, tree, 0)) {
        if (t.named || t.id != type || !t.isDirectory) {
            continue;
        }
        for (const ResourceEntry& n : ResourceDirectory(pe, tree, t.target)) {
            if (n.named || n.id != id || !n.isDirectory) {
                continue;
            }
            std::vector<ResourceEntry> languages = ResourceDirectory(pe, tree, n.target);
            IMAGE_RESOURCE_DATA_ENTRY leaf;
            if (languages.empty() || languages[0].isDirectory ||
                !ReadAt(pe.bytes, tree + languages[0].target, leaf)) {
                return false;
            }
            size_t offset = OffsetOf(pe, leaf.OffsetToData, leaf.Size);
            if (offset == SIZE_MAX) {
                return false;
            }
            data.assign(pe.bytes.begin() + offset, pe.bytes.begin() + offset + leaf.Size);
            return true;
        }
    }
    return false;
}

// The text of the first element <tag ...> at or after `from`, up to its '>'; empty when none.
std::string ElementText(const std::string& xml, const std::string& tag, size_t from = 0)
{
    size_t begin = xml.find("<" + tag, from);
    while (begin != std::string::npos) {
        char next = begin + 1 + tag.size() < xml.size() ? xml[begin + 1 + tag.size()] : '\0';
        if (next == ' ' || next == '\t' || next == '\r' || next == '\n' || next == '/' || next == '>') {
            size_t end = xml.find('>', begin);
            return end == std::string::npos ? "" : xml.substr(begin, end - begin + 1);
        }
        begin = xml.find("<" + tag, begin + 1);
    }
    return "";
}

// The value of attribute `name` in an element's text; "<absent>" when it has none.
std::string Attribute(const std::string& element, const std::string& name)
{
    for (size_t at = element.find(name); at != std::string::npos; at = element.find(name, at + 1)) {
        char before = at > 0 ? element[at - 1] : '\0';
        size_t eq = element.find_first_not_of(" \t\r\n", at + name.size());
        if ((before != ' ' && before != '\t' && before != '\r' && before != '\n') ||
            eq == std::string::npos || element[eq] != '=') {
            continue;
        }
        size_t quote = element.find_first_not_of(" \t\r\n", eq + 1);
        if (quote == std::string::npos || (element[quote] != '"' && element[quote] != '\'')) {
            continue;
        }
        size_t close = element.find(element[quote], quote + 1);
        if (close != std::string::npos) {
            return element.substr(quote + 1, close - quote - 1);
        }
    }
    return "<absent>";
}

class ExecutableFile : public ::testing::Test {
  protected:
    void SetUp() override
    {
        path_ = ProgramFolder() + L"\\" + FULLCHECK_WIDEN(FULLCHECK_EXE_NAME);
        pe_ = LoadPe(path_);
        ASSERT_FALSE(pe_.bytes.empty()) << "cannot read the program next to the test";
        ASSERT_EQ(pe_.error, "");
    }
    const PeFile& pe() const { return pe_; }
    const std::wstring& path() const { return path_; }

  private:
    std::wstring path_;
    PeFile pe_;
};

TEST_F(ExecutableFile, IsA32BitGuiProgramForWindows2000)
{
    EXPECT_EQ(pe().optional.Magic, 0x10b) << "PE32";
    EXPECT_EQ(pe().file.Machine, IMAGE_FILE_MACHINE_I386);
    EXPECT_EQ(pe().optional.Subsystem, IMAGE_SUBSYSTEM_WINDOWS_GUI);
    EXPECT_EQ(pe().optional.MajorSubsystemVersion, 5);
    EXPECT_EQ(pe().optional.MinorSubsystemVersion, 0);
    EXPECT_EQ(pe().optional.MajorOperatingSystemVersion, 5);
    EXPECT_EQ(pe().optional.MinorOperatingSystemVersion, 0);
    EXPECT_FALSE(pe().file.Characteristics & IMAGE_FILE_DLL);
    // A terminal server gives the session its own folders and registry, not
    // the compatibility copies of a program that does not say it is aware.
    EXPECT_TRUE(pe().optional.DllCharacteristics & IMAGE_DLLCHARACTERISTICS_TERMINAL_SERVER_AWARE);
    // The image registers no SEH handler: a forged exception record can name
    // none inside it.
    EXPECT_TRUE(pe().optional.DllCharacteristics & IMAGE_DLLCHARACTERISTICS_NO_SEH);
}

// The names imported from dll, as the import table lists them; "?" for a
// thunk that cannot be read, "#N" for an import by ordinal.
std::set<std::string> ImportedNames(const PeFile& pe, const std::string& dll)
{
    std::set<std::string> names;
    const IMAGE_DATA_DIRECTORY& dir = pe.optional.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    for (DWORD at = 0; dir.VirtualAddress != 0; at += sizeof(IMAGE_IMPORT_DESCRIPTOR)) {
        IMAGE_IMPORT_DESCRIPTOR d;
        size_t offset = OffsetOf(pe, dir.VirtualAddress + at, sizeof d);
        if (offset == SIZE_MAX || !ReadAt(pe.bytes, offset, d) || (d.Name == 0 && d.FirstThunk == 0)) {
            break;
        }
        if (Upper(TextAt(pe, d.Name)) != dll) {
            continue;
        }
        DWORD thunks = d.OriginalFirstThunk != 0 ? d.OriginalFirstThunk : d.FirstThunk;
        for (DWORD t = thunks;; t += sizeof(DWORD)) {
            DWORD thunk = 0;
            size_t thunkOffset = OffsetOf(pe, t, sizeof thunk);
            if (thunkOffset == SIZE_MAX || !ReadAt(pe.bytes, thunkOffset, thunk)) {
                names.insert("?");
                break;
            }
            if (thunk == 0) {
                break;
            }
            if (thunk & IMAGE_ORDINAL_FLAG32) {
                names.insert("#" + std::to_string(thunk & 0xFFFF));
                continue;
            }
            std::string name = TextAt(pe, thunk + 2); // after the hint
            names.insert(name.empty() ? "?" : name);
        }
    }
    return names;
}

// Only DLLs that are loaded before main anyway: any other would be searched
// for, beside the program too, before main restricts the search. Every other
// system call is looked up at run time.
TEST_F(ExecutableFile, ImportsOnlyKernel32AndTheCRuntime)
{
    const std::set<std::string> expected = {"KERNEL32.DLL", "MSVCRT.DLL"};
    EXPECT_EQ(ImportedDlls(pe()), expected);
    EXPECT_EQ(pe().optional.DataDirectory[IMAGE_DIRECTORY_ENTRY_DELAY_IMPORT].VirtualAddress, 0u)
        << "this toolchain's delay imports jump to 0 on their first call";
}

// The image must load on every Windows its subsystem version admits: each
// name imported is one that Windows 2000 exports (a newer call is looked up
// at run time). A name missing here must first be checked for its minimum
// version, then added.
TEST_F(ExecutableFile, ImportsNoCallNewerThanWindows2000)
{
    const struct {
        const char* dll;
        std::set<std::string> known;
    } tables[] = {
        {"KERNEL32.DLL",
         {"CloseHandle",
          "CompareFileTime",
          "CreateDirectoryW",
          "CreateEventW",
          "CreateFileW",
          "CreateSemaphoreW",
          "CreateThread",
          "DeleteCriticalSection",
          "DeleteFileW",
          "DeviceIoControl",
          "DuplicateHandle",
          "EnterCriticalSection",
          "ExitProcess",
          "FindClose",
          "FindFirstFileExW",
          "FindFirstFileW",
          "FindNextFileW",
          "FlushFileBuffers",
          "FormatMessageA",
          "FreeLibrary",
          "GetCurrentDirectoryW",
          "GetCurrentProcess",
          "GetCurrentProcessId",
          "GetCurrentThread",
          "GetCurrentThreadId",
          "GetFileAttributesExW",
          "GetFileAttributesW",
          "GetFileInformationByHandle",
          "GetFileSize",
          "GetFileSizeEx",
          "GetFileType",
          "GetFullPathNameW",
          "GetLastError",
          "GetModuleFileNameW",
          "GetModuleHandleA",
          "GetModuleHandleW",
          "GetProcAddress",
          "GetProcessHeap",
          "GetStartupInfoA",
          "GetSystemDirectoryW",
          "GetSystemTimeAsFileTime",
          "GetTempPathW",
          "GetTickCount",
          "GetVersionExW",
          "GetWindowsDirectoryW",
          "HeapAlloc",
          "HeapFree",
          "InitializeCriticalSection",
          "InitializeCriticalSectionAndSpinCount",
          "IsDBCSLeadByteEx",
          "LeaveCriticalSection",
          "LoadLibraryA",
          "LoadLibraryExW",
          "LoadLibraryW",
          "LocalFree",
          "MultiByteToWideChar",
          "OpenProcess",
          "QueryPerformanceCounter",
          "ReadFile",
          "ReleaseSemaphore",
          "RemoveDirectoryW",
          "SetCurrentDirectoryW",
          "SetFileAttributesW",
          "SetFilePointer",
          "SetLastError",
          "SetUnhandledExceptionFilter",
          "Sleep",
          "TerminateProcess",
          "TlsAlloc",
          "TlsFree",
          "TlsGetValue",
          "TlsSetValue",
          "TryEnterCriticalSection",
          "VirtualProtect",
          "VirtualQuery",
          "WaitForSingleObject",
          "WideCharToMultiByte",
          "WriteFile",
          "lstrcmpW",
          "lstrcmpiW",
          "lstrcpyW",
          "lstrcpynW",
          "lstrlenW"}},
        {"MSVCRT.DLL", {"__getmainargs", "__initenv",  "__mb_cur_max",   "__p__acmdln",
                        "__p__commode",  "__p__fmode", "__set_app_type", "__setusermatherr",
                        "_amsg_exit",    "_cexit",     "_close",         "_errno",
                        "_initterm",     "_iob",       "_onexit",        "_read",
                        "_wfopen",       "_wfsopen",   "abort",          "atoi",
                        "calloc",        "exit",       "fclose",         "fflush",
                        "fprintf",       "fputc",      "fputs",          "fread",
                        "free",          "fwrite",     "getenv",         "localeconv",
                        "malloc",        "memchr",     "memcmp",         "memcpy",
                        "memmove",       "memset",     "realloc",        "setlocale",
                        "signal",        "strchr",     "strcmp",         "strerror",
                        "strlen",        "strncmp",    "strtoul",        "vfprintf",
                        "wcschr",        "wcscmp",     "wcslen",         "wcsncmp",
                        "wcspbrk",       "wcsrchr"}},
    };
#ifdef FULLCHECK_COVERAGE
    // gcov's runtime in the coverage build (scripts/coverage) writes its
    // counts through these, all of them in Windows 2000.
    const std::set<std::string> coverage = {"IsDBCSLeadByteEx",
                                            "MultiByteToWideChar",
                                            "WideCharToMultiByte",
                                            "_access",
                                            "_fdopen",
                                            "_getpid",
                                            "_lock",
                                            "_locking",
                                            "_mkdir",
                                            "_open",
                                            "_unlock",
                                            "feof",
                                            "fopen",
                                            "fseek",
                                            "getenv",
                                            "strcat"};
#else
    const std::set<std::string> coverage;
#endif
    for (const auto& table : tables) {
        for (const std::string& name : ImportedNames(pe(), table.dll)) {
            EXPECT_TRUE(table.known.count(name) || coverage.count(name)) << table.dll << " " << name;
        }
    }
}

TEST_F(ExecutableFile, ManifestRunsAsInvokerWithCommonControls6)
{
    Bytes data;
    ASSERT_TRUE(ResourceData(pe(), kResourceManifest, 1, data)) << "no manifest resource 1 of type 24";
    std::string xml(data.begin(), data.end());

    std::string level = ElementText(xml, "requestedExecutionLevel");
    ASSERT_NE(level, "") << xml;
    EXPECT_EQ(Attribute(level, "level"), "asInvoker");
    EXPECT_EQ(Attribute(level, "uiAccess"), "false");

    // The manifest names the program's version a second time: it must not fall behind.
    EXPECT_EQ(Attribute(ElementText(xml, "assemblyIdentity"), "version"), "2.0.3.9793");

    size_t dependency = xml.find("<dependentAssembly");
    ASSERT_NE(dependency, std::string::npos) << xml;
    std::string identity = ElementText(xml, "assemblyIdentity", dependency);
    struct Expected {
        const char* attribute;
        const char* value;
    };
    for (const Expected& e :
         {Expected{"type", "win32"}, Expected{"name", "Microsoft.Windows.Common-Controls"},
          Expected{"version", "6.0.0.0"}, Expected{"processorArchitecture", "x86"},
          Expected{"publicKeyToken", "6595b64144ccf1df"}, Expected{"language", "*"}}) {
        EXPECT_EQ(Attribute(identity, e.attribute), e.value) << e.attribute << " in " << identity;
    }
}

// No compatibility assistant and no version lies for a program whose name
// says "uninstall": every Windows from Vista to 11 is declared supported.
TEST_F(ExecutableFile, ManifestDeclaresEverySystemFromVistaTo11)
{
    Bytes data;
    ASSERT_TRUE(ResourceData(pe(), kResourceManifest, 1, data));
    std::string xml(data.begin(), data.end());

    size_t compatibility = xml.find("<compatibility");
    ASSERT_NE(compatibility, std::string::npos) << xml;
    EXPECT_EQ(Attribute(ElementText(xml, "compatibility"), "xmlns"),
              "urn:schemas-microsoft-com:compatibility.v1");
    std::set<std::string> ids;
    for (size_t at = xml.find("<supportedOS", compatibility); at != std::string::npos;
         at = xml.find("<supportedOS", at + 1)) {
        ids.insert(Attribute(ElementText(xml, "supportedOS", at), "Id"));
    }
    const std::set<std::string> expected = {
        "{e2011457-1546-43c5-a5fe-008deee3d3f0}", // Vista
        "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}", // 7
        "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}", // 8
        "{1f676c76-80e1-4239-95bb-83d0f6d0da78}", // 8.1
        "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}", // 10 and 11
    };
    EXPECT_EQ(ids, expected);
}

// The box is drawn at the monitor's scale (sharp at 150 %): the settings are
// read back as the loader reads them, from an activation context made of the
// program's own manifest, so a wrong namespace shows as a missing setting.
TEST_F(ExecutableFile, ManifestMakesTheProgramPerMonitorDpiAware)
{
    ACTCTXW request = {};
    request.cbSize = sizeof(request);
    request.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
    request.lpSource = path().c_str();
    request.lpResourceName = MAKEINTRESOURCEW(1);
    HANDLE context = CreateActCtxW(&request);
    ASSERT_NE(context, INVALID_HANDLE_VALUE) << "the loader rejects the manifest: " << GetLastError();

    const struct {
        const WCHAR* nameSpace;
        const WCHAR* name;
        const WCHAR* value;
    } settings[] = {
        {L"http://schemas.microsoft.com/SMI/2005/WindowsSettings", L"dpiAware", L"true/pm"},
        {L"http://schemas.microsoft.com/SMI/2016/WindowsSettings", L"dpiAwareness",
         L"PerMonitorV2, PerMonitor"},
    };
    for (const auto& setting : settings) {
        WCHAR value[64] = {};
        SIZE_T written = 0;
        EXPECT_TRUE(QueryActCtxSettingsW(0, context, setting.nameSpace, setting.name, value, ARRAYSIZE(value),
                                         &written))
            << "no setting " << setting.name;
        EXPECT_EQ(std::wstring(value), setting.value);
    }
    ReleaseActCtx(context);
}

std::wstring VersionString(const Bytes& block, const WCHAR* key)
{
    WCHAR* value = nullptr;
    UINT length = 0;
    std::wstring query = std::wstring(L"\\StringFileInfo\\040904E4\\") + key;
    if (!VerQueryValueW(block.data(), query.c_str(), reinterpret_cast<void**>(&value), &length) ||
        value == nullptr) {
        return L"<absent>";
    }
    // The length counts the terminator when there is one.
    std::wstring text(value, length);
    return text.substr(0, text.find(L'\0'));
}

TEST_F(ExecutableFile, VersionResourceNames2_0_3_9793InUsEnglish)
{
    DWORD ignored = 0;
    DWORD size = GetFileVersionInfoSizeW(path().c_str(), &ignored);
    ASSERT_NE(size, 0u);
    Bytes block(size);
    ASSERT_TRUE(GetFileVersionInfoW(path().c_str(), 0, size, block.data()));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    ASSERT_GE(length, sizeof(VS_FIXEDFILEINFO));
    EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
    EXPECT_EQ(fixed->dwFileVersionMS, MAKELONG(0, 2));
    EXPECT_EQ(fixed->dwFileVersionLS, MAKELONG(9793, 3));
    EXPECT_EQ(fixed->dwProductVersionMS, MAKELONG(0, 2));
    EXPECT_EQ(fixed->dwProductVersionLS, MAKELONG(9793, 3));
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));

    WORD* translation = nullptr;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation",
                               reinterpret_cast<void**>(&translation), &length));
    ASSERT_EQ(length, 2 * sizeof(WORD)) << "exactly one language";
    EXPECT_EQ(translation[0], 0x0409);
    EXPECT_EQ(translation[1], 1252);

    EXPECT_EQ(VersionString(block, L"FileVersion"), L"2.0.3.9793");
    EXPECT_EQ(VersionString(block, L"ProductVersion"), L"2.0.3.9793");
    EXPECT_EQ(VersionString(block, L"FileDescription"), L"Full uninstall check");
    EXPECT_EQ(VersionString(block, L"ProductName"), L"Corvanta Marbel-Quint");
    EXPECT_EQ(VersionString(block, L"OriginalFilename"), FULLCHECK_WIDEN(FULLCHECK_EXE_NAME));
}

#pragma pack(push, 2)
struct GroupIconEntry {
    BYTE width; // 0 means 256
    BYTE height;
    BYTE colorCount;
    BYTE reserved;
    WORD planes;
    WORD bitCount;
    DWORD bytesInRes;
    WORD id;
};
#pragma pack(pop)

std::vector<GroupIconEntry> GroupEntries(const Bytes& group)
{
    std::vector<GroupIconEntry> entries;
    WORD header[3]; // reserved, type (1 = icon), count
    if (!ReadAt(group, 0, header) || header[0] != 0 || header[1] != 1) {
        return entries;
    }
    for (WORD i = 0; i < header[2]; ++i) {
        GroupIconEntry e;
        if (!ReadAt(group, sizeof header + i * sizeof e, e)) {
            return {};
        }
        entries.push_back(e);
    }
    return entries;
}

TEST_F(ExecutableFile, IconGroupNamesNineImagesThatAllExist)
{
    std::vector<WORD> groups = ResourceIds(pe(), kResourceGroupIcon);
    ASSERT_EQ(groups.size(), 1u) << "one application icon group";
    Bytes group;
    ASSERT_TRUE(ResourceData(pe(), kResourceGroupIcon, groups[0], group));
    std::vector<GroupIconEntry> entries = GroupEntries(group);
    ASSERT_EQ(entries.size(), 9u);

    std::set<std::pair<int, int>> sizesAndDepths;
    for (const GroupIconEntry& e : entries) {
        int size = e.width == 0 ? 256 : e.width;
        SCOPED_TRACE(testing::Message()
                     << "icon " << e.id << ", " << size << " px, " << e.bitCount << " bits");
        sizesAndDepths.insert({size, e.bitCount});
        EXPECT_EQ(e.width, e.height);
        EXPECT_EQ(e.planes, 1);

        Bytes image;
        ASSERT_TRUE(ResourceData(pe(), kResourceIcon, e.id, image)) << "the group names a missing icon";
        EXPECT_EQ(image.size(), e.bytesInRes);
        // The image itself must agree with what the group says about it.
        const unsigned char png[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
        if (image.size() >= sizeof png && std::memcmp(image.data(), png, sizeof png) == 0) {
            EXPECT_EQ(size, 256) << "only the 256-pixel image is stored as PNG";
            continue;
        }
        BITMAPINFOHEADER header;
        ASSERT_TRUE(ReadAt(image, 0, header));
        EXPECT_EQ(header.biWidth, size);
        EXPECT_EQ(header.biHeight, 2 * size) << "colour bitmap and AND mask";
        EXPECT_EQ(header.biBitCount, e.bitCount);
    }
    const std::set<std::pair<int, int>> expected = {{16, 32}, {24, 32}, {32, 32}, {48, 32}, {256, 32},
                                                    {16, 8},  {24, 8},  {32, 8},  {48, 8}};
    EXPECT_EQ(sizesAndDepths, expected);
}

// Windows itself can turn every image into an icon of the size it claims.
TEST_F(ExecutableFile, EveryIconImageLoads)
{
    std::vector<WORD> groups = ResourceIds(pe(), kResourceGroupIcon);
    ASSERT_FALSE(groups.empty());
    Bytes group;
    ASSERT_TRUE(ResourceData(pe(), kResourceGroupIcon, groups[0], group));
    for (const GroupIconEntry& e : GroupEntries(group)) {
        int size = e.width == 0 ? 256 : e.width;
        SCOPED_TRACE(testing::Message()
                     << "icon " << e.id << ", " << size << " px, " << e.bitCount << " bits");
        Bytes image;
        ASSERT_TRUE(ResourceData(pe(), kResourceIcon, e.id, image));
        HICON icon = CreateIconFromResourceEx(image.data(), static_cast<DWORD>(image.size()), TRUE,
                                              0x00030000, size, size, LR_DEFAULTCOLOR);
        ASSERT_NE(icon, nullptr);
        ICONINFO info{};
        BITMAP bitmap{};
        ASSERT_TRUE(GetIconInfo(icon, &info));
        HBITMAP shown = info.hbmColor != nullptr ? info.hbmColor : info.hbmMask;
        ASSERT_NE(GetObjectW(shown, sizeof bitmap, &bitmap), 0);
        EXPECT_EQ(bitmap.bmWidth, size);
        if (info.hbmColor != nullptr) {
            DeleteObject(info.hbmColor);
        }
        DeleteObject(info.hbmMask);
        DestroyIcon(icon);
    }
}

} // namespace
