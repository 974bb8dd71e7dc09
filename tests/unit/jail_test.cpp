// The tests' Wine programs can write only inside the build tree, even when
// the suite runs as root: Wine still maps \??\unix\ paths onto the whole
// Linux file system, whatever drives the prefix has, so a faulty deletion
// under test could otherwise reach the machine (scripts/wine-jail).
#include <windows.h>
#include <winternl.h>

#include <gtest/gtest.h>

#include <string>

namespace {

// The Linux path PATH as Wine's NT name \??\unix\..., with a file name.
std::wstring UnixNtName(const char* path, const std::wstring& name)
{
    std::wstring nt = L"\\??\\unix";
    for (const char* c = path; *c != '\0'; ++c) {
        nt += *c == '/' ? L'\\' : static_cast<WCHAR>(static_cast<unsigned char>(*c));
    }
    if (!name.empty()) {
        nt += L'\\' + name;
    }
    return nt;
}

// NtCreateFile of NAME with DISPOSITION and OPTIONS; the handle is closed at
// once (a file created goes with it: FILE_DELETE_ON_CLOSE).
NTSTATUS CreateByNtName(const std::wstring& name, ACCESS_MASK access, ULONG disposition, ULONG options)
{
    UNICODE_STRING string;
    string.Buffer = const_cast<PWSTR>(name.c_str());
    string.Length = static_cast<USHORT>(name.size() * sizeof(WCHAR));
    string.MaximumLength = string.Length;
    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, &string, OBJ_CASE_INSENSITIVE, nullptr, nullptr);
    IO_STATUS_BLOCK io;
    HANDLE handle = nullptr;
    NTSTATUS status =
        NtCreateFile(&handle, access | SYNCHRONIZE, &attributes, &io, nullptr, FILE_ATTRIBUTE_NORMAL,
                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, disposition,
                     options | FILE_SYNCHRONOUS_IO_NONALERT, nullptr, 0);
    if (NT_SUCCESS(status)) {
        CloseHandle(handle);
    }
    return status;
}

std::wstring ProbeName()
{
    return L"fullcheck-jail-probe-" + std::to_wstring(GetCurrentProcessId()) + L".txt";
}

NTSTATUS CreateProbe(const char* folder)
{
    return CreateByNtName(UnixNtName(folder, ProbeName()), GENERIC_WRITE | DELETE, FILE_CREATE,
                          FILE_NON_DIRECTORY_FILE | FILE_DELETE_ON_CLOSE);
}

// The path form itself works: a file is created in the build tree through it.
TEST(Jail, UnixPathCreatesInsideTheBuildTree)
{
    EXPECT_EQ(CreateProbe(FULLCHECK_BUILD_TREE), 0) << "the \\??\\unix\\ form did not reach the build tree";
}

// Outside the build tree the folders can be opened (they exist, and the path
// form reaches them) but nothing can be created in them. A source tree below
// /tmp is left out: there the jail's /tmp, a folder of the build tree, holds
// that path.
TEST(Jail, UnixPathCannotCreateOutsideTheBuildTree)
{
    const char* const outside[] = {FULLCHECK_SOURCE_TREE, "/var/tmp"};
    for (const char* folder : outside) {
        SCOPED_TRACE(folder);
        if (std::string(folder).rfind("/tmp/", 0) == 0) {
            continue;
        }
        EXPECT_EQ(
            CreateByNtName(UnixNtName(folder, L""), FILE_LIST_DIRECTORY, FILE_OPEN, FILE_DIRECTORY_FILE), 0);
        NTSTATUS created = CreateProbe(folder);
        EXPECT_FALSE(NT_SUCCESS(created)) << "created a file outside the build tree";
        EXPECT_EQ(CreateByNtName(UnixNtName(folder, ProbeName()), FILE_READ_ATTRIBUTES, FILE_OPEN, 0),
                  static_cast<NTSTATUS>(0xC0000034L)) // STATUS_OBJECT_NAME_NOT_FOUND
            << "a file of the probe's name is there";
    }
}

} // namespace
