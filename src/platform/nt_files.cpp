#include <windows.h>

#include <winternl.h>

#include <vector>

#include "platform/late_bound.h"
#include "platform/nt_files.h"

namespace {

const NTSTATUS kStatusNoMoreFiles = static_cast<NTSTATUS>(0x80000006);
const NTSTATUS kStatusNotImplemented = static_cast<NTSTATUS>(0xC0000002);
const NTSTATUS kStatusInvalidInfoClass = static_cast<NTSTATUS>(0xC0000003);
const NTSTATUS kStatusInvalidParameter = static_cast<NTSTATUS>(0xC000000D);
const NTSTATUS kStatusNoSuchFile = static_cast<NTSTATUS>(0xC000000F);
const NTSTATUS kStatusInvalidDeviceRequest = static_cast<NTSTATUS>(0xC0000010);
const NTSTATUS kStatusNotSupported = static_cast<NTSTATUS>(0xC00000BB);
const NTSTATUS kStatusNameTooLong = static_cast<NTSTATUS>(0xC0000106);

// Not in this toolchain's winternl.h.
const FILE_INFORMATION_CLASS kFileDispositionInformationEx = static_cast<FILE_INFORMATION_CLASS>(64);
const ULONG kDispositionDelete = 0x1;
const ULONG kDispositionPosixSemantics = 0x2;
const ULONG kDispositionIgnoreReadOnly = 0x10;

// As itself, and never waiting for an oplock break: the open completes at
// once and says so.
const ULONG kOpenAsIs = FILE_SYNCHRONOUS_IO_NONALERT | FILE_OPEN_REPARSE_POINT | FILE_COMPLETE_IF_OPLOCKED;
const ACCESS_MASK kListAccess = FILE_LIST_DIRECTORY | FILE_TRAVERSE | FILE_READ_ATTRIBUTES | SYNCHRONIZE;
const ULONG kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// Room in the location query beyond the name expected: a 32-bit program on
// 64-bit Windows gets its answer through WoW64, which needs room for the
// 64-bit header (16 bytes) too. The exact comparison still decides.
const size_t kLocationRoomBytes = 16 + 256;

bool IsLetter(WCHAR c)
{
    return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z');
}

// Drive letter or UNC, but not the device namespaces \\?\ and \\.\, and no
// wildcard: never a relative path, which would be taken from the current
// folder.
bool IsPlainAbsolutePath(const WCHAR* path)
{
    bool drive = IsLetter(path[0]) && path[1] == L':' && path[2] == L'\\';
    bool unc = path[0] == L'\\' && path[1] == L'\\' && path[2] != L'\0' && path[2] != L'?' &&
               path[2] != L'.' && path[2] != L'\\';
    for (const WCHAR* c = path; *c != L'\0'; ++c) {
        if (*c == L'*' || *c == L'?') {
            return false;
        }
    }
    return drive || unc;
}

// What a file system or platform answers to a kind of request it does not
// offer (a relative open, an information class, a flag).
bool IsUnsupported(NTSTATUS status)
{
    return status == kStatusInvalidParameter || status == kStatusNotSupported ||
           status == kStatusNotImplemented || status == kStatusInvalidDeviceRequest ||
           status == kStatusInvalidInfoClass;
}

UNICODE_STRING CountedString(const std::wstring& text)
{
    UNICODE_STRING counted;
    counted.Buffer = const_cast<PWSTR>(text.c_str());
    counted.Length = static_cast<USHORT>(text.size() * sizeof(WCHAR));
    counted.MaximumLength = counted.Length;
    return counted;
}

NTSTATUS OpenNamed(HANDLE root, const std::wstring& name, ACCESS_MASK access, ULONG share, ULONG options,
                   HANDLE& handle)
{
    handle = INVALID_HANDLE_VALUE;
    if (name.size() > kMaxNameUnits) {
        return kStatusNameTooLong;
    }
    UNICODE_STRING objectName = CountedString(name);
    // Case as stored: the names come from the folder's own listing.
    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, &objectName, 0, root, nullptr);
    IO_STATUS_BLOCK io;
    HANDLE opened = INVALID_HANDLE_VALUE;
    NTSTATUS status = late::NtOpenFile(&opened, access, &attributes, &io, share, options);
    if (status == kStatusOplockBreakInProgress) {
        // Someone else's oplock is being broken: they still use the entry.
        CloseHandle(opened);
    } else if (NT_SUCCESS(status)) {
        handle = opened;
    }
    return status;
}

// The first entry in data, a listing in class listingClass.
ListedEntry ReadListedEntry(const BYTE* data, FILE_INFORMATION_CLASS listingClass)
{
    if (listingClass == FileIdFullDirectoryInformation) {
        const FILE_ID_FULL_DIR_INFORMATION* entry =
            reinterpret_cast<const FILE_ID_FULL_DIR_INFORMATION*>(data);
        return {std::wstring(entry->FileName, entry->FileNameLength / sizeof(WCHAR)), entry->FileAttributes,
                entry->FileId.QuadPart};
    }
    const FILE_FULL_DIR_INFORMATION* entry = reinterpret_cast<const FILE_FULL_DIR_INFORMATION*>(data);
    return {std::wstring(entry->FileName, entry->FileNameLength / sizeof(WCHAR)), entry->FileAttributes, 0};
}

// Lists folder into buffer in class listingClass. A first query (restart)
// that the file system refuses in the class with file ids (Windows 2000,
// some network redirectors) is asked again in the class without them, and
// listingClass says which one answered.
NTSTATUS QueryFolder(HANDLE folder, std::vector<BYTE>& buffer, FILE_INFORMATION_CLASS& listingClass,
                     BOOLEAN singleEntry, PUNICODE_STRING mask, BOOLEAN restart, ULONG_PTR& written)
{
    IO_STATUS_BLOCK io;
    io.Information = 0;
    NTSTATUS status = late::NtQueryDirectoryFile(folder, nullptr, nullptr, nullptr, &io, buffer.data(),
                                                 static_cast<ULONG>(buffer.size()), listingClass, singleEntry,
                                                 mask, restart);
    if (restart && IsUnsupported(status) && listingClass == FileIdFullDirectoryInformation) {
        listingClass = FileFullDirectoryInformation;
        io.Information = 0;
        status = late::NtQueryDirectoryFile(folder, nullptr, nullptr, nullptr, &io, buffer.data(),
                                            static_cast<ULONG>(buffer.size()), listingClass, singleEntry,
                                            mask, restart);
    }
    written = NT_SUCCESS(status) ? io.Information : 0;
    return status;
}

NTSTATUS QueryInformation(HANDLE handle, void* information, ULONG length,
                          FILE_INFORMATION_CLASS informationClass)
{
    IO_STATUS_BLOCK io;
    return late::NtQueryInformationFile(handle, &io, information, length, informationClass);
}

NTSTATUS SetInformation(HANDLE handle, void* information, ULONG length,
                        FILE_INFORMATION_CLASS informationClass)
{
    IO_STATUS_BLOCK io;
    return late::NtSetInformationFile(handle, &io, information, length, informationClass);
}

} // namespace

std::wstring JoinLocation(const std::wstring& folder, const std::wstring& name)
{
    if (!folder.empty() && folder.back() == L'\\') {
        return folder + name;
    }
    return folder + L'\\' + name;
}

HANDLE OpenFolderByPath(const WCHAR* path, std::wstring& location)
{
    location.clear();
    if (!IsPlainAbsolutePath(path)) {
        return INVALID_HANDLE_VALUE;
    }
    std::wstring fullPath(path);
    if (fullPath.size() >= MAX_PATH) {
        fullPath = path[0] == L'\\' ? L"\\\\?\\UNC" + fullPath.substr(1) : L"\\\\?\\" + fullPath;
    }
    // Deletion is shared: the user's own programs may hold these folders.
    HANDLE folder = CreateFileW(fullPath.c_str(), kListAccess, kShareAll, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (folder == INVALID_HANDLE_VALUE) {
        return INVALID_HANDLE_VALUE;
    }
    BY_HANDLE_FILE_INFORMATION information;
    if (GetFileInformationByHandle(folder, &information) &&
        (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        location = QueryLocation(folder, kMaxNameUnits);
    }
    if (location.empty()) {
        CloseHandle(folder);
        return INVALID_HANDLE_VALUE;
    }
    return folder;
}

NTSTATUS OpenEntry(HANDLE parent, const std::wstring& parentLocation, const std::wstring& name,
                   ACCESS_MASK access, ULONG share, ULONG kindOption, HANDLE& handle)
{
    NTSTATUS status = OpenNamed(parent, name, access, share, kOpenAsIs | kindOption, handle);
    if (IsUnsupported(status)) {
        status = OpenNamed(nullptr, JoinLocation(parentLocation, name), access, share, kOpenAsIs | kindOption,
                           handle);
    }
    return status;
}

bool ListFolder(HANDLE folder, std::vector<ListedEntry>& entries, volatile LONG* progress)
{
    std::vector<BYTE> buffer(64 * 1024);
    FILE_INFORMATION_CLASS listingClass = FileIdFullDirectoryInformation;
    for (BOOLEAN restart = TRUE;; restart = FALSE) {
        ULONG_PTR written = 0;
        NTSTATUS status = QueryFolder(folder, buffer, listingClass, FALSE, nullptr, restart, written);
        InterlockedIncrement(progress);
        // No such file at first: a file system that lists no "." and ".."
        // has nothing in this folder.
        if (status == kStatusNoMoreFiles || (restart && status == kStatusNoSuchFile)) {
            return true;
        }
        if (!NT_SUCCESS(status) || written == 0) {
            return false;
        }
        for (size_t offset = 0;;) {
            const BYTE* data = buffer.data() + offset;
            ListedEntry entry = ReadListedEntry(data, listingClass);
            if (entry.name != L"." && entry.name != L"..") {
                entries.push_back(entry);
            }
            // NextEntryOffset comes first in both classes.
            ULONG next = *reinterpret_cast<const ULONG*>(data);
            if (next == 0) {
                break;
            }
            offset += next;
        }
    }
}

NTSTATUS QueryEmptiness(HANDLE folder)
{
    // A mask makes a platform that keeps a handle's listing list anew.
    std::wstring everything(L"*");
    UNICODE_STRING mask = CountedString(everything);
    std::vector<BYTE> buffer(4 * 1024);
    FILE_INFORMATION_CLASS listingClass = FileIdFullDirectoryInformation;
    for (BOOLEAN restart = TRUE;; restart = FALSE) {
        ULONG_PTR written = 0;
        NTSTATUS status =
            QueryFolder(folder, buffer, listingClass, FALSE, restart ? &mask : nullptr, restart, written);
        if (status == kStatusNoMoreFiles || (restart && status == kStatusNoSuchFile)) {
            return kStatusSuccess;
        }
        if (!NT_SUCCESS(status) || written == 0) {
            return NT_SUCCESS(status) ? kStatusNotSupported : status;
        }
        for (size_t offset = 0;;) {
            ListedEntry entry = ReadListedEntry(buffer.data() + offset, listingClass);
            if (entry.name != L"." && entry.name != L"..") {
                return kStatusDirectoryNotEmpty;
            }
            ULONG next = *reinterpret_cast<const ULONG*>(buffer.data() + offset);
            if (next == 0) {
                break;
            }
            offset += next;
        }
    }
}

bool FindEntry(HANDLE parent, const WCHAR* name, ListedEntry& entry)
{
    std::wstring mask(name);
    if (mask.empty() || mask.size() > MAX_PATH) {
        return false;
    }
    UNICODE_STRING maskString = CountedString(mask);
    std::vector<BYTE> buffer(sizeof(FILE_ID_FULL_DIR_INFORMATION) + 2 * MAX_PATH * sizeof(WCHAR));
    FILE_INFORMATION_CLASS listingClass = FileIdFullDirectoryInformation;
    ULONG_PTR written = 0;
    if (!NT_SUCCESS(QueryFolder(parent, buffer, listingClass, TRUE, &maskString, TRUE, written)) ||
        written == 0) {
        return false;
    }
    entry = ReadListedEntry(buffer.data(), listingClass);
    return true;
}

std::wstring QueryLocation(HANDLE handle, size_t maxUnits)
{
    std::vector<BYTE> buffer(sizeof(OBJECT_NAME_INFORMATION) + kLocationRoomBytes +
                             (maxUnits + 1) * sizeof(WCHAR));
    ULONG written = 0;
    NTSTATUS status = late::NtQueryObject(handle, ObjectNameInformation, buffer.data(),
                                          static_cast<ULONG>(buffer.size()), &written);
    const OBJECT_NAME_INFORMATION* info = reinterpret_cast<const OBJECT_NAME_INFORMATION*>(buffer.data());
    if (!NT_SUCCESS(status) || info->Name.Buffer == nullptr) {
        return std::wstring();
    }
    return std::wstring(info->Name.Buffer, info->Name.Length / sizeof(WCHAR));
}

bool QueryAttributeTag(HANDLE handle, FILE_ATTRIBUTE_TAG_INFORMATION& tag)
{
    return NT_SUCCESS(QueryInformation(handle, &tag, sizeof(tag), FileAttributeTagInformation));
}

bool QueryFileId(HANDLE handle, LONGLONG& id)
{
    FILE_INTERNAL_INFORMATION internal;
    if (!NT_SUCCESS(QueryInformation(handle, &internal, sizeof(internal), FileInternalInformation))) {
        return false;
    }
    id = internal.IndexNumber.QuadPart;
    return true;
}

bool QueryNumberOfNames(HANDLE handle, ULONG& names)
{
    FILE_STANDARD_INFORMATION standard;
    if (!NT_SUCCESS(QueryInformation(handle, &standard, sizeof(standard), FileStandardInformation))) {
        return false;
    }
    names = standard.NumberOfLinks;
    return true;
}

NTSTATUS SetDeleteDisposition(HANDLE handle, bool ignoreReadOnly)
{
    ULONG flags =
        kDispositionDelete | kDispositionPosixSemantics | (ignoreReadOnly ? kDispositionIgnoreReadOnly : 0);
    NTSTATUS status = SetInformation(handle, &flags, sizeof(flags), kFileDispositionInformationEx);
    // Windows 10 1607 to 1803 know POSIX semantics but not ignore-read-only,
    // and refuse the flag as an invalid parameter: once more without it.
    if (IsUnsupported(status) && ignoreReadOnly) {
        flags &= ~kDispositionIgnoreReadOnly;
        status = SetInformation(handle, &flags, sizeof(flags), kFileDispositionInformationEx);
    }
    // Before Windows 10 1607, Wine 8, and file systems without the Ex class:
    // the classic disposition, which knows no flags.
    if (!IsUnsupported(status)) {
        return status;
    }
    FILE_DISPOSITION_INFORMATION disposition;
    disposition.DoDeleteFile = TRUE;
    return SetInformation(handle, &disposition, sizeof(disposition), FileDispositionInformation);
}

bool ClearOwnReadOnly(HANDLE handle, bool folder)
{
    // Such a name is left rather than the mark put back afterwards: a mark
    // put back is lost when the process ends in between, and the file's
    // change time would still move.
    ULONG names = 0;
    if (!folder && !(QueryNumberOfNames(handle, names) && names == 1)) {
        return false;
    }
    FILE_BASIC_INFORMATION basic;
    if (!NT_SUCCESS(QueryInformation(handle, &basic, sizeof(basic), FileBasicInformation))) {
        return false;
    }
    // Times of zero are left as they are.
    basic.CreationTime.QuadPart = 0;
    basic.LastAccessTime.QuadPart = 0;
    basic.LastWriteTime.QuadPart = 0;
    basic.ChangeTime.QuadPart = 0;
    basic.FileAttributes &= ~static_cast<ULONG>(FILE_ATTRIBUTE_READONLY);
    if (basic.FileAttributes == 0) {
        basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
    }
    return NT_SUCCESS(SetInformation(handle, &basic, sizeof(basic), FileBasicInformation));
}
