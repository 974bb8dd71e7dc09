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
const NTSTATUS kStatusNoSuchFile = static_cast<NTSTATUS>(0xC000000F);
const NTSTATUS kStatusInvalidDeviceRequest = static_cast<NTSTATUS>(0xC0000010);
const NTSTATUS kStatusSharingViolation = static_cast<NTSTATUS>(0xC0000043);
const NTSTATUS kStatusDeletePending = static_cast<NTSTATUS>(0xC0000056);
const NTSTATUS kStatusNotSupported = static_cast<NTSTATUS>(0xC00000BB);
const NTSTATUS kStatusDirectoryNotEmpty = static_cast<NTSTATUS>(0xC0000101);
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

// Room in the location query beyond the name expected: a 32-bit program on
// 64-bit Windows gets its answer through WoW64, which needs room for the
// 64-bit header (16 bytes) too. The exact comparison still decides.
const size_t kLocationRoomBytes = 16 + 256;

// Tries at an entry that another program holds for a moment, each after a
// wait twice as long as the one before: 2 to 256 ms, about half a second an
// entry in all, and never more than the deletion's budget has left.
const int kMaxRetries = 8;
const DWORD kFirstRetryWaitMs = 2;

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

// Waits before the next try at an entry that another program holds, unless
// this entry had its tries (tries made so far) or the deletion's budget
// waitLeftMs is spent; the time really waited comes off the budget. False
// when there is to be no other try.
bool WaitToRetry(int tries, DWORD& waitLeftMs)
{
    if (tries >= kMaxRetries || waitLeftMs == 0) {
        return false;
    }
    DWORD wait = kFirstRetryWaitMs << tries;
    if (wait > waitLeftMs) {
        wait = waitLeftMs;
    }
    DWORD start = GetTickCount();
    Sleep(wait);
    DWORD waited = GetTickCount() - start;
    waitLeftMs -= waited > wait ? (waited < waitLeftMs ? waited : waitLeftMs) : wait;
    return true;
}

// Opens the entry storedName of parent and keeps the handle only when it is
// where the listing put it. Relative to the parent's handle, so a swap above
// cannot redirect the open; by the parent's real location where the file
// system refuses relative opens, verified the same way. status receives the
// open's result (a success when only the verification failed).
HANDLE OpenEntryWhereListed(HANDLE parent, const std::wstring& parentLocation, const std::wstring& storedName,
                            ACCESS_MASK access, ULONG share, ULONG options, NTSTATUS& status)
{
    std::wstring expected = JoinLocation(parentLocation, storedName);
    HANDLE handle;
    status = OpenNamed(parent, storedName, access, share, options, handle);
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

// The same, tried again while another program holds the entry without
// sharing what the open asks for (a virus scanner, an indexer), within the
// budget.
HANDLE OpenEntryWaiting(HANDLE parent, const std::wstring& parentLocation, const std::wstring& storedName,
                        ACCESS_MASK access, ULONG share, ULONG options, DWORD& waitLeftMs, NTSTATUS& status)
{
    for (int tries = 0;; ++tries) {
        HANDLE handle =
            OpenEntryWhereListed(parent, parentLocation, storedName, access, share, options, status);
        if (handle != INVALID_HANDLE_VALUE || status != kStatusSharingViolation ||
            !WaitToRetry(tries, waitLeftMs)) {
            return handle;
        }
    }
}

// A folder to be emptied, opened for its deletion too. Where another program
// holds it without sharing deletion (its current folder), it is opened
// without delete access, still refusing to share deletion so that nobody
// renames it away meanwhile: it can be emptied, and then it stays.
HANDLE OpenFolderToEmpty(HANDLE parent, const std::wstring& parentLocation, const std::wstring& storedName,
                         DWORD& waitLeftMs, NTSTATUS& status)
{
    const ULONG options = kOpenAsIs | FILE_DIRECTORY_FILE;
    HANDLE folder = OpenEntryWaiting(parent, parentLocation, storedName, kListAccess | kDeleteAccess,
                                     kShareFolder, options, waitLeftMs, status);
    if (folder == INVALID_HANDLE_VALUE && status == kStatusSharingViolation) {
        folder = OpenEntryWhereListed(parent, parentLocation, storedName, kListAccess, kShareFolder, options,
                                      status);
    }
    return folder;
}

// The first entry in buffer of a listing in class listingClass: its name,
// attributes and file id (0 in the class without ids).
void ReadListedEntry(const BYTE* data, FILE_INFORMATION_CLASS listingClass, std::wstring& name,
                     ULONG& attributes, LONGLONG& fileId)
{
    if (listingClass == FileIdFullDirectoryInformation) {
        const FILE_ID_FULL_DIR_INFORMATION* entry =
            reinterpret_cast<const FILE_ID_FULL_DIR_INFORMATION*>(data);
        name.assign(entry->FileName, entry->FileNameLength / sizeof(WCHAR));
        attributes = entry->FileAttributes;
        fileId = entry->FileId.QuadPart;
        return;
    }
    const FILE_FULL_DIR_INFORMATION* entry = reinterpret_cast<const FILE_FULL_DIR_INFORMATION*>(data);
    name.assign(entry->FileName, entry->FileNameLength / sizeof(WCHAR));
    attributes = entry->FileAttributes;
    fileId = 0;
}

// Lists folder into buffer in class listingClass. A first query (restart)
// that the file system refuses in the class with file ids (Windows 2000,
// some network redirectors) is asked again in the class without them, and
// listingClass says which one answered. Without ids the other checks still
// hold: where the id class is refused, the platform opens a link as itself
// and tells a handle's name from the open object, so the location, the kind
// and the link tag catch an entry swapped after the listing; the id check is
// for the platform that follows links on open and names a handle by its path.
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
    FILE_INFORMATION_CLASS listingClass = FileIdFullDirectoryInformation;
    ULONG_PTR written = 0;
    if (!NT_SUCCESS(QueryFolder(parent, buffer, listingClass, TRUE, &maskString, TRUE, written)) ||
        written == 0) {
        return std::wstring();
    }
    std::wstring storedName;
    ReadListedEntry(buffer.data(), listingClass, storedName, attributes, fileId);
    return storedName;
}

// Every entry of folder but "." and "..", with its attributes and file id.
// False when the listing ended early; what was listed until then is kept.
// A mask ("*") makes a platform that keeps a handle's listing list anew.
bool ListFolder(HANDLE folder, std::vector<std::wstring>& names, std::vector<ULONG>& attributes,
                std::vector<LONGLONG>& fileIds, PUNICODE_STRING mask = nullptr)
{
    std::vector<BYTE> buffer(64 * 1024);
    FILE_INFORMATION_CLASS listingClass = FileIdFullDirectoryInformation;
    BOOLEAN restart = TRUE;
    std::wstring name;
    for (;;) {
        ULONG_PTR written = 0;
        NTSTATUS status =
            QueryFolder(folder, buffer, listingClass, FALSE, restart ? mask : nullptr, restart, written);
        // No such file at first: a file system that lists no "." and ".."
        // has nothing in this folder.
        if (status == kStatusNoMoreFiles || (restart && status == kStatusNoSuchFile)) {
            return true;
        }
        restart = FALSE;
        if (!NT_SUCCESS(status) || written == 0) {
            return false;
        }
        size_t offset = 0;
        for (;;) {
            const BYTE* data = buffer.data() + offset;
            ULONG entryAttributes = 0;
            LONGLONG fileId = 0;
            ReadListedEntry(data, listingClass, name, entryAttributes, fileId);
            if (!IsDotEntry(name)) {
                names.push_back(name);
                attributes.push_back(entryAttributes);
                fileIds.push_back(fileId);
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

size_t DeleteContentsAtDepth(HANDLE folder, const std::wstring& location, int depth, DWORD& waitLeftMs);

// Deletes one listed entry of folder and everything inside it. False when
// anything of it stays. An entry whose deletion is already pending counts as
// gone.
bool DeleteEntry(HANDLE folder, const std::wstring& location, const std::wstring& name,
                 ULONG listedAttributes, LONGLONG listedId, int depth, DWORD& waitLeftMs)
{
    NTSTATUS status;
    if (!(listedAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        // Opened as it is, a link to a file goes as a link; no attribute
        // check needed, and reparse points that are no links are data.
        HANDLE file = OpenEntryWaiting(folder, location, name, kDeleteAccess, kShareAll,
                                       kOpenAsIs | FILE_NON_DIRECTORY_FILE, waitLeftMs, status);
        if (file == INVALID_HANDLE_VALUE) {
            return status == kStatusDeletePending;
        }
        // The file id too: where the platform follows links on open and
        // tells a handle's name by path, a file swapped for a link after the
        // listing passes the name check but not this one.
        bool deleted = HasListedId(file, listedId) && DeleteOpenEntry(file, true, waitLeftMs);
        CloseHandle(file);
        return deleted;
    }
    HANDLE child = OpenFolderToEmpty(folder, location, name, waitLeftMs, status);
    if (child == INVALID_HANDLE_VALUE) {
        return status == kStatusDeletePending;
    }
    bool deleted = false;
    FILE_ATTRIBUTE_TAG_INFORMATION tag;
    if (IsListedFolder(child, listedAttributes, listedId, tag)) {
        if (IsLink(tag)) {
            // Opened as itself: deleting it removes the link, never its target.
            deleted = DeleteOpenEntry(child, true, waitLeftMs);
        } else if (depth < kMaxDepth) {
            std::wstring childLocation = JoinLocation(location, name);
            // A folder held by another program was opened without delete
            // access: emptied, it stays, and the deletion is refused.
            deleted = DeleteContentsAtDepth(child, childLocation, depth + 1, waitLeftMs) == 0 &&
                      DeleteOpenEntry(child, true, waitLeftMs);
        }
    }
    CloseHandle(child);
    return deleted;
}

// Whether folder, just emptied, lists nothing. Entries whose deletion waits
// for another program's handle (classic deletion, as Wine 8 and Windows
// before 10 have it) are still listed: they are waited for within the budget.
// The folder is listed anew, not from what the handle's first listing kept.
bool WaitUntilListedEmpty(HANDLE folder, DWORD& waitLeftMs)
{
    WCHAR everything[] = L"*";
    UNICODE_STRING mask = {sizeof(WCHAR), sizeof(WCHAR), everything};
    for (int tries = 0;; ++tries) {
        std::vector<std::wstring> names;
        std::vector<ULONG> attributes;
        std::vector<LONGLONG> fileIds;
        if (!ListFolder(folder, names, attributes, fileIds, &mask)) {
            return false;
        }
        if (names.empty()) {
            return true;
        }
        if (!WaitToRetry(tries, waitLeftMs)) {
            return false;
        }
    }
}

size_t DeleteContentsAtDepth(HANDLE folder, const std::wstring& location, int depth, DWORD& waitLeftMs)
{
    std::vector<std::wstring> names;
    std::vector<ULONG> attributes;
    std::vector<LONGLONG> fileIds;
    bool listedAll = ListFolder(folder, names, attributes, fileIds);
    size_t left = listedAll ? 0 : 1;
    for (size_t i = 0; i < names.size(); ++i) {
        if (!DeleteEntry(folder, location, names[i], attributes[i], fileIds[i], depth, waitLeftMs)) {
            ++left;
        }
    }
    if (left == 0 && !names.empty() && !WaitUntilListedEmpty(folder, waitLeftMs)) {
        left = 1;
    }
    return left;
}

NTSTATUS SetDisposition(HANDLE handle, ULONG flags)
{
    IO_STATUS_BLOCK io;
    NTSTATUS status =
        late::NtSetInformationFile(handle, &io, &flags, sizeof(flags), kFileDispositionInformationEx);
    // Windows 10 1607 to 1803 know POSIX semantics but not ignore-read-only,
    // and refuse the flag as an invalid parameter: once more without it.
    if (IsUnsupported(status) && (flags & kDispositionIgnoreReadOnly)) {
        ULONG plainFlags = flags & ~kDispositionIgnoreReadOnly;
        status = late::NtSetInformationFile(handle, &io, &plainFlags, sizeof(plainFlags),
                                            kFileDispositionInformationEx);
    }
    // Before Windows 10 1607, Wine 8, and file systems without the Ex class
    // (invalid class, invalid parameter, not supported, not implemented,
    // invalid device request): the classic disposition, which knows no flags.
    if (!IsUnsupported(status)) {
        return status;
    }
    FILE_DISPOSITION_INFORMATION disposition;
    disposition.DoDeleteFile = TRUE;
    return late::NtSetInformationFile(handle, &io, &disposition, sizeof(disposition),
                                      FileDispositionInformation);
}

// Whether the read-only mark of the entry open as handle belongs to it
// alone: a folder, or a file with no other name. The mark is the file's, not
// the name's, so clearing it through one name would change the file under
// its other names too, possibly outside the data and with the uninstaller's
// rights. Such a name is left rather than the mark put back afterwards: a
// mark put back is lost when the process ends in between, and the file's
// change time would still move.
bool HasNoOtherName(HANDLE handle)
{
    IO_STATUS_BLOCK io;
    FILE_STANDARD_INFORMATION standard;
    if (!NT_SUCCESS(late::NtQueryInformationFile(handle, &io, &standard, sizeof(standard),
                                                 FileStandardInformation))) {
        return false;
    }
    return standard.Directory || standard.NumberOfLinks == 1;
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
                          bool forDeletion, std::wstring& location, DWORD& waitLeftMs)
{
    location.clear();
    ULONG attributes = 0;
    LONGLONG fileId = 0;
    std::wstring storedName = FindStoredName(parent, name, attributes, fileId);
    if (storedName.empty() || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        return INVALID_HANDLE_VALUE;
    }
    NTSTATUS status;
    HANDLE folder = forDeletion ? OpenFolderToEmpty(parent, parentLocation, storedName, waitLeftMs, status)
                                : OpenEntryWhereListed(parent, parentLocation, storedName, kListAccess,
                                                       kShareFolder, kOpenAsIs | FILE_DIRECTORY_FILE, status);
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

HANDLE OpenVerifiedFile(HANDLE parent, const std::wstring& parentLocation, const WCHAR* name,
                        DWORD& waitLeftMs)
{
    ULONG attributes = 0;
    LONGLONG fileId = 0;
    std::wstring storedName = FindStoredName(parent, name, attributes, fileId);
    if (storedName.empty() || (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        return INVALID_HANDLE_VALUE;
    }
    NTSTATUS status;
    HANDLE file = OpenEntryWaiting(parent, parentLocation, storedName, FILE_READ_DATA | kDeleteAccess,
                                   kShareFolder, kOpenAsIs | FILE_NON_DIRECTORY_FILE, waitLeftMs, status);
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

size_t DeleteFolderContents(HANDLE folder, const std::wstring& location, DWORD& waitLeftMs)
{
    return DeleteContentsAtDepth(folder, location, 0, waitLeftMs);
}

bool DeleteOpenEntry(HANDLE handle, bool clearReadOnly, DWORD& waitLeftMs)
{
    // POSIX semantics: the name goes at once, even while others hold the file.
    ULONG flags =
        kDispositionDelete | kDispositionPosixSemantics | (clearReadOnly ? kDispositionIgnoreReadOnly : 0);
    for (int tries = 0;; ++tries) {
        NTSTATUS status = SetDisposition(handle, flags);
        if (status == kStatusCannotDelete && clearReadOnly && HasNoOtherName(handle) &&
            ClearReadOnly(handle)) {
            status = SetDisposition(handle, flags);
        }
        if (NT_SUCCESS(status)) {
            return true;
        }
        // A folder not empty yet holds an entry whose deletion waits for
        // another program's handle to close.
        if ((status != kStatusSharingViolation && status != kStatusDirectoryNotEmpty) ||
            !WaitToRetry(tries, waitLeftMs)) {
            return false;
        }
    }
}
