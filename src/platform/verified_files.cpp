#include <windows.h>

#include <winternl.h>

#include <vector>

#include "platform/late_bound.h"
#include "platform/verified_files.h"

namespace {

const NTSTATUS kStatusNoMoreFiles = static_cast<NTSTATUS>(0x80000006);
const NTSTATUS kStatusNotImplemented = static_cast<NTSTATUS>(0xC0000002);
const NTSTATUS kStatusInvalidInfoClass = static_cast<NTSTATUS>(0xC0000003);
const NTSTATUS kStatusInvalidParameter = static_cast<NTSTATUS>(0xC000000D);
const NTSTATUS kStatusInvalidDeviceRequest = static_cast<NTSTATUS>(0xC0000010);
const NTSTATUS kStatusNotSupported = static_cast<NTSTATUS>(0xC00000BB);
const NTSTATUS kStatusNameTooLong = static_cast<NTSTATUS>(0xC0000106);
const NTSTATUS kStatusCannotDelete = static_cast<NTSTATUS>(0xC0000121);

// Not in this toolchain's winternl.h.
const FILE_INFORMATION_CLASS kFileDispositionInformationEx = static_cast<FILE_INFORMATION_CLASS>(64);
const ULONG kDispositionDelete = 0x1;
const ULONG kDispositionPosixSemantics = 0x2;
const ULONG kDispositionIgnoreReadOnly = 0x10;

const ULONG kOpenAsIs = FILE_SYNCHRONOUS_IO_NONALERT | FILE_OPEN_REPARSE_POINT;
const ACCESS_MASK kListAccess = FILE_LIST_DIRECTORY | FILE_TRAVERSE | FILE_READ_ATTRIBUTES | SYNCHRONIZE;
const ACCESS_MASK kDeleteAccess = DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES | SYNCHRONIZE;
// Folders are held without sharing deletion: nobody renames them away meanwhile.
const ULONG kShareFolder = FILE_SHARE_READ | FILE_SHARE_WRITE;
const ULONG kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// Deeper trees are left below this depth: the walk recurses, and its stack
// must not run out whatever a user builds.
const int kMaxDepth = 1000;

const size_t kMaxNameUnits = 32767;

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

std::wstring JoinLocation(const std::wstring& folder, const std::wstring& name)
{
    if (!folder.empty() && folder.back() == L'\\') {
        return folder + name;
    }
    return folder + L'\\' + name;
}

bool IsDotEntry(const std::wstring& name)
{
    return name == L"." || name == L"..";
}

// The platform's name of the object open as handle, or empty when it cannot
// be told or is longer than maxUnits.
std::wstring QueryLocation(HANDLE handle, size_t maxUnits)
{
    std::vector<BYTE> buffer(sizeof(OBJECT_NAME_INFORMATION) + (maxUnits + 1) * sizeof(WCHAR));
    ULONG written = 0;
    NTSTATUS status = late::NtQueryObject(handle, ObjectNameInformation, buffer.data(),
                                          static_cast<ULONG>(buffer.size()), &written);
    const OBJECT_NAME_INFORMATION* info = reinterpret_cast<const OBJECT_NAME_INFORMATION*>(buffer.data());
    if (!NT_SUCCESS(status) || info->Name.Buffer == nullptr) {
        return std::wstring();
    }
    return std::wstring(info->Name.Buffer, info->Name.Length / sizeof(WCHAR));
}

// Exact comparison: the name is spelt as the file system stores it, and that
// may tell names apart by case.
bool IsAt(HANDLE handle, const std::wstring& expected)
{
    return !expected.empty() && QueryLocation(handle, expected.size()) == expected;
}

bool IsLink(const FILE_ATTRIBUTE_TAG_INFORMATION& tag)
{
    return (tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) && IsReparseTagNameSurrogate(tag.ReparseTag);
}

bool QueryAttributeTag(HANDLE handle, FILE_ATTRIBUTE_TAG_INFORMATION& tag)
{
    IO_STATUS_BLOCK io;
    return NT_SUCCESS(
        late::NtQueryInformationFile(handle, &io, &tag, sizeof(tag), FileAttributeTagInformation));
}

NTSTATUS OpenNamed(HANDLE root, const std::wstring& name, ACCESS_MASK access, ULONG share, ULONG options,
                   HANDLE& handle)
{
    if (name.size() > kMaxNameUnits) {
        return kStatusNameTooLong;
    }
    UNICODE_STRING objectName;
    objectName.Buffer = const_cast<PWSTR>(name.c_str());
    objectName.Length = static_cast<USHORT>(name.size() * sizeof(WCHAR));
    objectName.MaximumLength = objectName.Length;
    // Case as stored: the names come from the folder's own listing.
    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, &objectName, 0, root, nullptr);
    IO_STATUS_BLOCK io;
    handle = INVALID_HANDLE_VALUE;
    NTSTATUS status = late::NtOpenFile(&handle, access, &attributes, &io, share, options);
    if (!NT_SUCCESS(status)) {
        handle = INVALID_HANDLE_VALUE;
    }
    return status;
}

// What a file system or platform answers to a kind of request it does not
// offer (a relative open, an information class).
bool IsUnsupported(NTSTATUS status)
{
    return status == kStatusInvalidParameter || status == kStatusNotSupported ||
           status == kStatusNotImplemented || status == kStatusInvalidDeviceRequest ||
           status == kStatusInvalidInfoClass;
}

// Opens the entry storedName of parent and keeps the handle only when it is
// where the listing put it. Relative to the parent's handle, so a swap above
// cannot redirect the open; by the parent's real location where the file
// system refuses relative opens, verified the same way.
HANDLE OpenEntryWhereListed(HANDLE parent, const std::wstring& parentLocation, const std::wstring& storedName,
                            ACCESS_MASK access, ULONG share, ULONG options)
{
    std::wstring expected = JoinLocation(parentLocation, storedName);
    HANDLE handle;
    NTSTATUS status = OpenNamed(parent, storedName, access, share, options, handle);
    if (IsUnsupported(status)) {
        status = OpenNamed(nullptr, expected, access, share, options, handle);
    }
    if (!NT_SUCCESS(status)) {
        return INVALID_HANDLE_VALUE;
    }
    if (!IsAt(handle, expected)) {
        CloseHandle(handle);
        return INVALID_HANDLE_VALUE;
    }
    return handle;
}

// The stored name of the entry that the file system matches with name, with
// its attributes and file id as listed; empty when there is none. Asks parent
// once: a folder handle keeps the first name it was asked for.
std::wstring FindStoredName(HANDLE parent, const WCHAR* name, ULONG& attributes, LONGLONG& fileId)
{
    std::wstring mask(name);
    if (mask.empty() || mask.size() > MAX_PATH) {
        return std::wstring();
    }
    UNICODE_STRING maskString;
    maskString.Buffer = const_cast<PWSTR>(mask.c_str());
    maskString.Length = static_cast<USHORT>(mask.size() * sizeof(WCHAR));
    maskString.MaximumLength = maskString.Length;
    std::vector<BYTE> buffer(sizeof(FILE_ID_FULL_DIR_INFORMATION) + 2 * MAX_PATH * sizeof(WCHAR));
    IO_STATUS_BLOCK io;
    NTSTATUS status = late::NtQueryDirectoryFile(parent, nullptr, nullptr, nullptr, &io, buffer.data(),
                                                 static_cast<ULONG>(buffer.size()),
                                                 FileIdFullDirectoryInformation, TRUE, &maskString, TRUE);
    if (!NT_SUCCESS(status) || io.Information == 0) {
        return std::wstring();
    }
    const FILE_ID_FULL_DIR_INFORMATION* entry =
        reinterpret_cast<const FILE_ID_FULL_DIR_INFORMATION*>(buffer.data());
    attributes = entry->FileAttributes;
    fileId = entry->FileId.QuadPart;
    return std::wstring(entry->FileName, entry->FileNameLength / sizeof(WCHAR));
}

// Every entry of folder but "." and "..", with its attributes and file id.
// False when the listing ended early; what was listed until then is kept.
bool ListFolder(HANDLE folder, std::vector<std::wstring>& names, std::vector<ULONG>& attributes,
                std::vector<LONGLONG>& fileIds)
{
    std::vector<BYTE> buffer(64 * 1024);
    BOOLEAN restart = TRUE;
    for (;;) {
        IO_STATUS_BLOCK io;
        NTSTATUS status = late::NtQueryDirectoryFile(folder, nullptr, nullptr, nullptr, &io, buffer.data(),
                                                     static_cast<ULONG>(buffer.size()),
                                                     FileIdFullDirectoryInformation, FALSE, nullptr, restart);
        restart = FALSE;
        if (status == kStatusNoMoreFiles) {
            return true;
        }
        if (!NT_SUCCESS(status) || io.Information == 0) {
            return false;
        }
        size_t offset = 0;
        for (;;) {
            const FILE_ID_FULL_DIR_INFORMATION* entry =
                reinterpret_cast<const FILE_ID_FULL_DIR_INFORMATION*>(buffer.data() + offset);
            std::wstring name(entry->FileName, entry->FileNameLength / sizeof(WCHAR));
            if (!IsDotEntry(name)) {
                names.push_back(name);
                attributes.push_back(entry->FileAttributes);
                fileIds.push_back(entry->FileId.QuadPart);
            }
            if (entry->NextEntryOffset == 0) {
                break;
            }
            offset += entry->NextEntryOffset;
        }
    }
}

// Whether the handle's file id is the one its parent listed. Where a
// platform follows links on open, an entry swapped for a link between the
// listing and the open yields another file, with another id. Ids of 0 (file
// systems without them) are not compared.
bool HasListedId(HANDLE handle, LONGLONG listedId)
{
    IO_STATUS_BLOCK io;
    FILE_INTERNAL_INFORMATION internal;
    if (!NT_SUCCESS(late::NtQueryInformationFile(handle, &io, &internal, sizeof(internal),
                                                 FileInternalInformation))) {
        return false;
    }
    return listedId == 0 || internal.IndexNumber.QuadPart == 0 || internal.IndexNumber.QuadPart == listedId;
}

// Whether the folder open as handle is the entry that its parent listed, of
// the same kind: a listing that showed a reparse point where the handle shows
// none (or the reverse) means a swap, or a platform that followed a link.
bool IsListedFolder(HANDLE handle, ULONG listedAttributes, LONGLONG listedId,
                    FILE_ATTRIBUTE_TAG_INFORMATION& tag)
{
    return QueryAttributeTag(handle, tag) && (tag.FileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
           !((tag.FileAttributes ^ listedAttributes) & FILE_ATTRIBUTE_REPARSE_POINT) &&
           HasListedId(handle, listedId);
}

size_t DeleteContentsAtDepth(HANDLE folder, const std::wstring& location, int depth);

// Deletes one listed entry of folder and everything inside it. False when
// anything of it stays.
bool DeleteEntry(HANDLE folder, const std::wstring& location, const std::wstring& name,
                 ULONG listedAttributes, LONGLONG listedId, int depth)
{
    if (!(listedAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        // Opened as it is, a link to a file goes as a link; no attribute
        // check needed, and reparse points that are no links are data.
        HANDLE file = OpenEntryWhereListed(folder, location, name, kDeleteAccess, kShareAll,
                                           kOpenAsIs | FILE_NON_DIRECTORY_FILE);
        if (file == INVALID_HANDLE_VALUE) {
            return false;
        }
        // The file id too: where the platform follows links on open and
        // tells a handle's name by path, a file swapped for a link after the
        // listing passes the name check but not this one.
        bool deleted = HasListedId(file, listedId) && DeleteOpenEntry(file, true);
        CloseHandle(file);
        return deleted;
    }
    HANDLE child = OpenEntryWhereListed(folder, location, name, kListAccess | kDeleteAccess, kShareFolder,
                                        kOpenAsIs | FILE_DIRECTORY_FILE);
    if (child == INVALID_HANDLE_VALUE) {
        return false;
    }
    bool deleted = false;
    FILE_ATTRIBUTE_TAG_INFORMATION tag;
    if (IsListedFolder(child, listedAttributes, listedId, tag)) {
        if (IsLink(tag)) {
            // Opened as itself: deleting it removes the link, never its target.
            deleted = DeleteOpenEntry(child, true);
        } else if (depth < kMaxDepth) {
            std::wstring childLocation = JoinLocation(location, name);
            deleted =
                DeleteContentsAtDepth(child, childLocation, depth + 1) == 0 && DeleteOpenEntry(child, true);
        }
    }
    CloseHandle(child);
    return deleted;
}

size_t DeleteContentsAtDepth(HANDLE folder, const std::wstring& location, int depth)
{
    std::vector<std::wstring> names;
    std::vector<ULONG> attributes;
    std::vector<LONGLONG> fileIds;
    bool listedAll = ListFolder(folder, names, attributes, fileIds);
    size_t left = listedAll ? 0 : 1;
    for (size_t i = 0; i < names.size(); ++i) {
        if (!DeleteEntry(folder, location, names[i], attributes[i], fileIds[i], depth)) {
            ++left;
        }
    }
    return left;
}

NTSTATUS SetDisposition(HANDLE handle, ULONG flags)
{
    IO_STATUS_BLOCK io;
    NTSTATUS status =
        late::NtSetInformationFile(handle, &io, &flags, sizeof(flags), kFileDispositionInformationEx);
    if (!IsUnsupported(status)) {
        return status;
    }
    // Before Windows 10 1607: the classic disposition, which knows no flags.
    FILE_DISPOSITION_INFORMATION disposition;
    disposition.DoDeleteFile = TRUE;
    return late::NtSetInformationFile(handle, &io, &disposition, sizeof(disposition),
                                      FileDispositionInformation);
}

bool ClearReadOnly(HANDLE handle)
{
    IO_STATUS_BLOCK io;
    FILE_BASIC_INFORMATION basic;
    if (!NT_SUCCESS(late::NtQueryInformationFile(handle, &io, &basic, sizeof(basic), FileBasicInformation))) {
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
    return NT_SUCCESS(late::NtSetInformationFile(handle, &io, &basic, sizeof(basic), FileBasicInformation));
}

} // namespace

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
    // Links on the way are followed: redirected and moved user folders are
    // legitimate. Deletion is shared, since the user's own programs may hold
    // these folders.
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

HANDLE OpenVerifiedFolder(HANDLE parent, const std::wstring& parentLocation, const WCHAR* name,
                          bool forDeletion, std::wstring& location)
{
    location.clear();
    ULONG attributes = 0;
    LONGLONG fileId = 0;
    std::wstring storedName = FindStoredName(parent, name, attributes, fileId);
    if (storedName.empty() || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        return INVALID_HANDLE_VALUE;
    }
    ACCESS_MASK access = forDeletion ? kListAccess | kDeleteAccess : kListAccess;
    HANDLE folder = OpenEntryWhereListed(parent, parentLocation, storedName, access, kShareFolder,
                                         kOpenAsIs | FILE_DIRECTORY_FILE);
    if (folder == INVALID_HANDLE_VALUE) {
        return INVALID_HANDLE_VALUE;
    }
    FILE_ATTRIBUTE_TAG_INFORMATION tag;
    if (!IsListedFolder(folder, attributes, fileId, tag) || IsLink(tag)) {
        CloseHandle(folder);
        return INVALID_HANDLE_VALUE;
    }
    location = JoinLocation(parentLocation, storedName);
    return folder;
}

HANDLE OpenVerifiedFile(HANDLE parent, const std::wstring& parentLocation, const WCHAR* name)
{
    ULONG attributes = 0;
    LONGLONG fileId = 0;
    std::wstring storedName = FindStoredName(parent, name, attributes, fileId);
    if (storedName.empty() || (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        return INVALID_HANDLE_VALUE;
    }
    HANDLE file = OpenEntryWhereListed(parent, parentLocation, storedName, FILE_READ_DATA | kDeleteAccess,
                                       kShareFolder, kOpenAsIs | FILE_NON_DIRECTORY_FILE);
    if (file == INVALID_HANDLE_VALUE) {
        return INVALID_HANDLE_VALUE;
    }
    FILE_ATTRIBUTE_TAG_INFORMATION tag;
    if (!QueryAttributeTag(file, tag) || IsLink(tag) || !HasListedId(file, fileId)) {
        CloseHandle(file);
        return INVALID_HANDLE_VALUE;
    }
    return file;
}

size_t DeleteFolderContents(HANDLE folder, const std::wstring& location)
{
    return DeleteContentsAtDepth(folder, location, 0);
}

bool DeleteOpenEntry(HANDLE handle, bool clearReadOnly)
{
    // POSIX semantics: the name goes at once, even while others hold the file.
    ULONG flags =
        kDispositionDelete | kDispositionPosixSemantics | (clearReadOnly ? kDispositionIgnoreReadOnly : 0);
    NTSTATUS status = SetDisposition(handle, flags);
    if (status == kStatusCannotDelete && clearReadOnly && ClearReadOnly(handle)) {
        status = SetDisposition(handle, flags);
    }
    return NT_SUCCESS(status);
}
