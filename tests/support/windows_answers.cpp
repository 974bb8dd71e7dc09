#include "windows_answers.h"

#include <windows.h>

#include <winternl.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "account_answers.h"
#include "held_answers.h"
#include "seam.h"
#include "system_answers.h"

namespace {

const NTSTATUS kStatusInfoLengthMismatch = static_cast<NTSTATUS>(0xC0000004);
const NTSTATUS kStatusInvalidInfoClass = static_cast<NTSTATUS>(0xC0000003);
const NTSTATUS kStatusInvalidParameter = static_cast<NTSTATUS>(0xC000000D);
const NTSTATUS kStatusInvalidDeviceRequest = static_cast<NTSTATUS>(0xC0000010);
const NTSTATUS kStatusNoSuchFile = static_cast<NTSTATUS>(0xC000000F);
const NTSTATUS kStatusNoMoreFiles = static_cast<NTSTATUS>(0x80000006);
const NTSTATUS kStatusCannotDelete = static_cast<NTSTATUS>(0xC0000121);
const NTSTATUS kStatusUnexpectedNetworkError = static_cast<NTSTATUS>(0xC00000C4);

const FILE_INFORMATION_CLASS kFileDispositionInformationEx = static_cast<FILE_INFORMATION_CLASS>(64);
const ULONG kDispositionDelete = 0x1;
const ULONG kDispositionPosixSemantics = 0x2;
const ULONG kDispositionIgnoreReadOnly = 0x10;
const ULONG kNameSurrogate = 0x20000000;

using QueryDirectoryFile = NTSTATUS(NTAPI*)(HANDLE, HANDLE, PIO_APC_ROUTINE, PVOID, PIO_STATUS_BLOCK, PVOID,
                                            ULONG, FILE_INFORMATION_CLASS, BOOLEAN, PUNICODE_STRING, BOOLEAN);
using QueryInformationFile = NTSTATUS(NTAPI*)(HANDLE, PIO_STATUS_BLOCK, PVOID, ULONG, FILE_INFORMATION_CLASS);
using SetInformationFile = NTSTATUS(NTAPI*)(HANDLE, PIO_STATUS_BLOCK, PVOID, ULONG, FILE_INFORMATION_CLASS);
using QueryObject = NTSTATUS(NTAPI*)(HANDLE, OBJECT_INFORMATION_CLASS, PVOID, ULONG, PULONG);
using OpenFile = NTSTATUS(NTAPI*)(PHANDLE, ACCESS_MASK, POBJECT_ATTRIBUTES, PIO_STATUS_BLOCK, ULONG, ULONG);

// Which answers are in place, and their settings.
enum class ExDisposition { Platform, WithoutIgnoreReadOnly, Refused };
struct Answers {
    bool listingWithoutIds = false;
    bool noDotEntries = false;
    bool reparsePoints = false;
    bool listedIdsUnknown = false;
    bool handleIdsUnknown = false;
    bool noFileIdQuery = false;
    bool noRelativeOpens = false;
    bool listingBreaksOff = false;
    bool readOnlyAlone = false;
    ExDisposition exDisposition = ExDisposition::Platform;
    NTSTATUS exRefusal = kStatusInvalidInfoClass;
    std::vector<std::pair<std::wstring, ULONG>> marks;
    std::wstring removedNames; // a plain absolute path, or empty
    unsigned removedCount = 0;
    int linkInsidesReached = 0;
};
Answers g_answers;
// Whether the answers of this file were put in place since the last start
// afresh: once SeamRestoreAll has removed them, the settings go too.
bool g_replaced = false;

// ---- What the platform itself says -----------------------------------------

std::wstring LastComponent(const std::wstring& path)
{
    size_t slash = path.find_last_of(L'\\');
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

// The tag marked for an entry called name; 0 for an entry not marked.
ULONG MarkedTag(const std::wstring& name)
{
    for (const auto& mark : g_answers.marks) {
        if (lstrcmpiW(mark.first.c_str(), name.c_str()) == 0) {
            return mark.second;
        }
    }
    return 0;
}

ULONG HandleTag(HANDLE handle)
{
    return g_answers.reparsePoints && !g_answers.marks.empty()
               ? MarkedTag(LastComponent(SeamHandleName(handle)))
               : 0;
}

bool IsLinkTag(ULONG tag)
{
    return (tag & kNameSurrogate) != 0;
}

NTSTATUS Rename(HANDLE handle, const std::wstring& ntPath)
{
    std::vector<BYTE> buffer(sizeof(FILE_RENAME_INFORMATION) + ntPath.size() * sizeof(WCHAR));
    FILE_RENAME_INFORMATION* rename = reinterpret_cast<FILE_RENAME_INFORMATION*>(buffer.data());
    rename->ReplaceIfExists = FALSE;
    rename->RootDirectory = nullptr;
    rename->FileNameLength = static_cast<ULONG>(ntPath.size() * sizeof(WCHAR));
    std::memcpy(rename->FileName, ntPath.c_str(), rename->FileNameLength);
    IO_STATUS_BLOCK io;
    return SeamOriginalAs<SetInformationFile>("NtSetInformationFile")(
        handle, &io, buffer.data(), static_cast<ULONG>(buffer.size()), FileRenameInformation);
}

// Moves the entry open as handle into the removed-names folder, under a
// name of its own there. False when it could not be moved.
bool MoveToRemovedNames(HANDLE handle)
{
    std::wstring name = LastComponent(SeamHandleName(handle));
    std::wstring target =
        L"\\??\\" + g_answers.removedNames + L"\\" + std::to_wstring(++g_answers.removedCount) + L" " + name;
    return NT_SUCCESS(Rename(handle, target));
}

// ---- Listings -----------------------------------------------------------
// NtQueryDirectoryFile (documented in the WDK, ntifs.h; the entries'
// layouts in MS-FSCC 2.4).

// Where an entry's fields lie in the two listing classes the program uses;
// false for any other class.
bool EntryFields(FILE_INFORMATION_CLASS listingClass, size_t& nameLengthAt, size_t& nameAt,
                 size_t& attributesAt, size_t& eaSizeAt)
{
    if (listingClass == FileIdFullDirectoryInformation) {
        nameLengthAt = offsetof(FILE_ID_FULL_DIR_INFORMATION, FileNameLength);
        nameAt = offsetof(FILE_ID_FULL_DIR_INFORMATION, FileName);
        attributesAt = offsetof(FILE_ID_FULL_DIR_INFORMATION, FileAttributes);
        eaSizeAt = offsetof(FILE_ID_FULL_DIR_INFORMATION, EaSize);
        return true;
    }
    if (listingClass == FileFullDirectoryInformation) {
        nameLengthAt = offsetof(FILE_FULL_DIR_INFORMATION, FileNameLength);
        nameAt = offsetof(FILE_FULL_DIR_INFORMATION, FileName);
        attributesAt = offsetof(FILE_FULL_DIR_INFORMATION, FileAttributes);
        eaSizeAt = offsetof(FILE_FULL_DIR_INFORMATION, EaSize);
        return true;
    }
    return false;
}

ULONG ReadUlong(const BYTE* at)
{
    ULONG value;
    std::memcpy(&value, at, sizeof(value));
    return value;
}

void WriteUlong(BYTE* at, ULONG value)
{
    std::memcpy(at, &value, sizeof(value));
}

// Rewrites the entries of a listing: without "." and ".." where no-dot-
// entries is in place, with the marks where reparse-points is. Returns the
// bytes left.
ULONG_PTR RewriteListing(BYTE* buffer, ULONG_PTR written, FILE_INFORMATION_CLASS listingClass)
{
    size_t nameLengthAt, nameAt, attributesAt, eaSizeAt;
    if (!(g_answers.noDotEntries || g_answers.reparsePoints || g_answers.listedIdsUnknown) || written == 0 ||
        !EntryFields(listingClass, nameLengthAt, nameAt, attributesAt, eaSizeAt)) {
        return written;
    }
    std::vector<BYTE> kept;
    size_t lastKept = 0;
    bool anyKept = false;
    for (size_t offset = 0;;) {
        BYTE* entry = buffer + offset;
        ULONG next = ReadUlong(entry);
        size_t size = next != 0 ? next : written - offset;
        std::wstring name(reinterpret_cast<const WCHAR*>(entry + nameAt),
                          ReadUlong(entry + nameLengthAt) / 2);
        bool dot = name == L"." || name == L"..";
        if (!(dot && g_answers.noDotEntries)) {
            // An entry's start stays 8-byte aligned, as the platform has it.
            size_t at = (kept.size() + 7) & ~size_t(7);
            kept.resize(at + size);
            std::memcpy(kept.data() + at, entry, size);
            ULONG tag = g_answers.reparsePoints ? MarkedTag(name) : 0;
            if (tag != 0) {
                // MS-FSCC 2.4.14 and 2.4.18: with FILE_ATTRIBUTE_REPARSE_POINT
                // set, EaSize holds the reparse tag.
                BYTE* copy = kept.data() + at;
                WriteUlong(copy + attributesAt,
                           ReadUlong(copy + attributesAt) | FILE_ATTRIBUTE_REPARSE_POINT);
                WriteUlong(copy + eaSizeAt, tag);
            }
            if (g_answers.listedIdsUnknown && listingClass == FileIdFullDirectoryInformation) {
                // MS-FSCC 2.1.9: a file whose unique 64-bit id cannot be
                // established (ReFS's 128-bit ids) is listed with all bits set.
                reinterpret_cast<FILE_ID_FULL_DIR_INFORMATION*>(kept.data() + at)->FileId.QuadPart = -1;
            }
            if (anyKept) {
                WriteUlong(kept.data() + lastKept, static_cast<ULONG>(at - lastKept));
            }
            WriteUlong(kept.data() + at, 0);
            lastKept = at;
            anyKept = true;
        }
        if (next == 0) {
            break;
        }
        offset += next;
    }
    std::memcpy(buffer, kept.data(), kept.size());
    return kept.size();
}

NTSTATUS NTAPI AnswerQueryDirectoryFile(HANDLE handle, HANDLE event, PIO_APC_ROUTINE apcRoutine,
                                        PVOID apcContext, PIO_STATUS_BLOCK io, PVOID information,
                                        ULONG length, FILE_INFORMATION_CLASS informationClass,
                                        BOOLEAN returnSingleEntry, PUNICODE_STRING fileName,
                                        BOOLEAN restartScan)
{
    // listing-without-ids: Windows 2000 (the class is documented from XP on)
    // and redirectors that do not pass it on. An information class that the
    // file system does not know fails with STATUS_INVALID_INFO_CLASS
    // (NtQueryDirectoryFile, return values).
    if (g_answers.listingWithoutIds && informationClass == FileIdFullDirectoryInformation) {
        return kStatusInvalidInfoClass;
    }
    if (IsLinkTag(HandleTag(handle))) {
        ++g_answers.linkInsidesReached;
    }
    // listing-breaks-off: a share that goes away while a folder is listed
    // (redirected AppData) fails the queries after the first with a network
    // error (STATUS_UNEXPECTED_NETWORK_ERROR).
    if (g_answers.listingBreaksOff && !restartScan) {
        return kStatusUnexpectedNetworkError;
    }
    AnswerHeldListing(handle);
    for (;;) {
        NTSTATUS status = SeamOriginalAs<QueryDirectoryFile>("NtQueryDirectoryFile")(
            handle, event, apcRoutine, apcContext, io, information, length, informationClass,
            returnSingleEntry, fileName, restartScan);
        if (!NT_SUCCESS(status) || status == STATUS_PENDING) {
            return status;
        }
        io->Information = RewriteListing(static_cast<BYTE*>(information), io->Information, informationClass);
        if (io->Information != 0) {
            return status;
        }
        // no-dot-entries: MS-FSA 2.1.5.6.3, a first query that matches no
        // entry fails with STATUS_NO_SUCH_FILE, a later one with
        // STATUS_NO_MORE_FILES. A listing that held only the dots on a later
        // query is asked on.
        if (restartScan) {
            return kStatusNoSuchFile;
        }
    }
}

// ---- Opens and what a handle tells -------------------------------------

NTSTATUS NTAPI AnswerOpenFile(PHANDLE handle, ACCESS_MASK access, POBJECT_ATTRIBUTES attributes,
                              PIO_STATUS_BLOCK io, ULONG shareAccess, ULONG openOptions)
{
    if (attributes != nullptr && attributes->RootDirectory != nullptr) {
        if (IsLinkTag(HandleTag(attributes->RootDirectory))) {
            ++g_answers.linkInsidesReached;
        }
        // no-relative-opens: a redirector or file system that does not take
        // an open relative to a folder's handle (RootDirectory in
        // OBJECT_ATTRIBUTES; the create request's related file object)
        // fails it as a request it does not offer.
        if (g_answers.noRelativeOpens) {
            return kStatusInvalidDeviceRequest;
        }
    }
    NTSTATUS held = 0;
    if (AnswerHeldOpen(handle, access, attributes, io, shareAccess, openOptions, held)) {
        return held;
    }
    return SeamOriginalAs<OpenFile>("NtOpenFile")(handle, access, attributes, io, shareAccess, openOptions);
}

NTSTATUS NTAPI AnswerQueryInformationFile(HANDLE handle, PIO_STATUS_BLOCK io, PVOID information, ULONG length,
                                          FILE_INFORMATION_CLASS informationClass)
{
    // no-file-id-query: a file system without the id class refuses it as
    // any class it lacks (STATUS_INVALID_INFO_CLASS; MS-FSCC 2.4.22).
    if (g_answers.noFileIdQuery && informationClass == FileInternalInformation) {
        return kStatusInvalidInfoClass;
    }
    NTSTATUS status = SeamOriginalAs<QueryInformationFile>("NtQueryInformationFile")(
        handle, io, information, length, informationClass);
    if (!NT_SUCCESS(status)) {
        return status;
    }
    // read-only-alone: a file whose archive mark was cleared has no other
    // attribute than read-only (Wine marks every file "archive"). Written
    // back as 0, attributes are left as they are (MS-FSCC 2.4.7).
    if (g_answers.readOnlyAlone && informationClass == FileBasicInformation &&
        length >= sizeof(FILE_BASIC_INFORMATION)) {
        static_cast<FILE_BASIC_INFORMATION*>(information)->FileAttributes &=
            ~static_cast<ULONG>(FILE_ATTRIBUTE_ARCHIVE);
    }
    if (g_answers.handleIdsUnknown && informationClass == FileInternalInformation &&
        length >= sizeof(FILE_INTERNAL_INFORMATION)) {
        // MS-FSCC 2.1.9, as for the listing above.
        static_cast<FILE_INTERNAL_INFORMATION*>(information)->IndexNumber.QuadPart = -1;
    }
    ULONG tag = HandleTag(handle);
    if (tag == 0) {
        return status;
    }
    // A handle opened as the reparse point itself (FILE_OPEN_REPARSE_POINT)
    // tells the attribute and the tag (FILE_ATTRIBUTE_TAG_INFORMATION,
    // MS-FSCC 2.4.6).
    if (informationClass == FileAttributeTagInformation && length >= sizeof(FILE_ATTRIBUTE_TAG_INFORMATION)) {
        FILE_ATTRIBUTE_TAG_INFORMATION* info = static_cast<FILE_ATTRIBUTE_TAG_INFORMATION*>(information);
        info->FileAttributes |= FILE_ATTRIBUTE_REPARSE_POINT;
        info->ReparseTag = tag;
    } else if (informationClass == FileBasicInformation && length >= sizeof(FILE_BASIC_INFORMATION)) {
        static_cast<FILE_BASIC_INFORMATION*>(information)->FileAttributes |= FILE_ATTRIBUTE_REPARSE_POINT;
    }
    return status;
}

NTSTATUS NTAPI AnswerQueryObject(HANDLE handle, OBJECT_INFORMATION_CLASS informationClass, PVOID information,
                                 ULONG length, PULONG returnLength)
{
    auto original = SeamOriginalAs<QueryObject>("NtQueryObject");
    if (informationClass != ObjectNameInformation) {
        return original(handle, informationClass, information, length, returnLength);
    }
    // wow64-object-names: a 32-bit program on 64-bit Windows is answered by
    // the 64-bit call through WoW64, into a buffer of the length the program
    // gave, holding the 64-bit UNICODE_STRING (16 bytes) before the name and
    // its terminator; what does not fit that way fails
    // (STATUS_INFO_LENGTH_MISMATCH, the length needed in returnLength; see
    // NtQueryObject, ReturnLength), though the 32-bit answer would fit.
    std::vector<BYTE> buffer(sizeof(OBJECT_NAME_INFORMATION) + 65536 * sizeof(WCHAR));
    ULONG written = 0;
    NTSTATUS status =
        original(handle, informationClass, buffer.data(), static_cast<ULONG>(buffer.size()), &written);
    if (!NT_SUCCESS(status)) {
        return status;
    }
    const OBJECT_NAME_INFORMATION* own = reinterpret_cast<const OBJECT_NAME_INFORMATION*>(buffer.data());
    ULONG needed64 = 16 + own->Name.Length + sizeof(WCHAR);
    if (length < needed64) {
        if (returnLength != nullptr) {
            *returnLength = needed64;
        }
        return kStatusInfoLengthMismatch;
    }
    OBJECT_NAME_INFORMATION* answer = static_cast<OBJECT_NAME_INFORMATION*>(information);
    WCHAR* name = reinterpret_cast<WCHAR*>(answer + 1);
    std::memcpy(name, own->Name.Buffer, own->Name.Length);
    name[own->Name.Length / sizeof(WCHAR)] = L'\0';
    answer->Name.Length = own->Name.Length;
    answer->Name.MaximumLength = static_cast<USHORT>(own->Name.Length + sizeof(WCHAR));
    answer->Name.Buffer = name;
    if (returnLength != nullptr) {
        *returnLength = sizeof(OBJECT_NAME_INFORMATION) + answer->Name.MaximumLength;
    }
    return status;
}

// ---- Dispositions -------------------------------------------------------

bool IsReadOnly(HANDLE handle)
{
    IO_STATUS_BLOCK io;
    FILE_BASIC_INFORMATION basic;
    return NT_SUCCESS(SeamOriginalAs<QueryInformationFile>("NtQueryInformationFile")(
               handle, &io, &basic, sizeof(basic), FileBasicInformation)) &&
           (basic.FileAttributes & FILE_ATTRIBUTE_READONLY);
}

NTSTATUS ClassicDisposition(HANDLE handle, PIO_STATUS_BLOCK io)
{
    FILE_DISPOSITION_INFORMATION disposition;
    disposition.DoDeleteFile = TRUE;
    return SeamOriginalAs<SetInformationFile>("NtSetInformationFile")(
        handle, io, &disposition, sizeof(disposition), FileDispositionInformation);
}

// The Ex disposition as Windows 10 1607 to 1803 have it
// (FILE_DISPOSITION_INFORMATION_EX in the WDK, ntddk.h): POSIX semantics,
// but no FILE_DISPOSITION_IGNORE_READONLY_ATTRIBUTE (documented from
// Windows 10 1809 on), whose flag is refused as an invalid parameter; a
// read-only file fails with STATUS_CANNOT_DELETE. POSIX semantics take the
// name out of its folder at once, while other handles keep the file: here
// the name is moved to the removed-names folder and the file deleted there,
// so the same holds on a platform without them.
NTSTATUS ExDispositionOf1607(HANDLE handle, PIO_STATUS_BLOCK io, ULONG flags)
{
    if (flags & kDispositionIgnoreReadOnly) {
        return kStatusInvalidParameter;
    }
    if (!(flags & kDispositionDelete)) {
        return SeamOriginalAs<SetInformationFile>("NtSetInformationFile")(handle, io, &flags, sizeof(flags),
                                                                          kFileDispositionInformationEx);
    }
    if (IsReadOnly(handle)) {
        return kStatusCannotDelete;
    }
    if (!(flags & kDispositionPosixSemantics) || g_answers.removedNames.empty()) {
        return ClassicDisposition(handle, io);
    }
    std::wstring before = SeamHandleName(handle);
    if (!MoveToRemovedNames(handle)) {
        return ClassicDisposition(handle, io);
    }
    NTSTATUS status = ClassicDisposition(handle, io);
    if (!NT_SUCCESS(status)) {
        // Not deleted (a folder not empty): the name goes back. Result not
        // examined: the test then finds the entry missing from its folder.
        Rename(handle, before);
    }
    return status;
}

NTSTATUS NTAPI AnswerSetInformationFile(HANDLE handle, PIO_STATUS_BLOCK io, PVOID information, ULONG length,
                                        FILE_INFORMATION_CLASS informationClass)
{
    bool ex = informationClass == kFileDispositionInformationEx && length >= sizeof(ULONG);
    bool classic = informationClass == FileDispositionInformation && length >= sizeof(BOOLEAN);
    bool deletes = (ex && (*static_cast<ULONG*>(information) & kDispositionDelete)) ||
                   (classic && static_cast<FILE_DISPOSITION_INFORMATION*>(information)->DoDeleteFile);
    if (ex || classic) {
        AnswerHeldDisposition(handle);
    }
    if (ex && g_answers.exDisposition == ExDisposition::Refused) {
        // ex-disposition-refused: before Windows 10 1607 the class is
        // unknown (STATUS_INVALID_INFO_CLASS); file systems and redirectors
        // without it answer as they refuse any class they lack.
        return g_answers.exRefusal;
    }
    // A link (a reparse point whose tag is a name surrogate, IsReparseTag-
    // NameSurrogate in winnt.h) opened as itself is deleted as a link: its
    // name goes, what it leads to is untouched ("Reparse Points" in the
    // Win32 documentation, deleting a junction or symbolic link).
    if (deletes && !g_answers.removedNames.empty() && IsLinkTag(HandleTag(handle))) {
        if (!MoveToRemovedNames(handle)) {
            return kStatusCannotDelete;
        }
        io->Status = 0;
        io->Information = 0;
        return 0; // STATUS_SUCCESS
    }
    if (ex && g_answers.exDisposition == ExDisposition::WithoutIgnoreReadOnly) {
        return ExDispositionOf1607(handle, io, *static_cast<ULONG*>(information));
    }
    return SeamOriginalAs<SetInformationFile>("NtSetInformationFile")(handle, io, information, length,
                                                                      informationClass);
}

// ---- The catalogue ------------------------------------------------------

// The first answer put in place after SeamRestoreAll starts afresh.
void StartAfreshUnlessInPlace()
{
    FARPROC ours = reinterpret_cast<FARPROC>(reinterpret_cast<void*>(&AnswerQueryDirectoryFile));
    if (g_replaced && SeamReplacement("NtQueryDirectoryFile") != ours) {
        g_answers = Answers();
        ForgetHeldAnswers();
        g_replaced = false;
    }
}

void ReplaceAll()
{
    g_replaced = true;
    SeamReplaceWith("NtQueryDirectoryFile", &AnswerQueryDirectoryFile);
    SeamReplaceWith("NtOpenFile", &AnswerOpenFile);
    SeamReplaceWith("NtQueryInformationFile", &AnswerQueryInformationFile);
    SeamReplaceWith("NtSetInformationFile", &AnswerSetInformationFile);
}

struct Answer {
    const char* name;
    void (*install)();
};

const Answer kCatalogue[] = {
    {"listing-without-ids", [] { g_answers.listingWithoutIds = true; }},
    {"no-dot-entries", [] { g_answers.noDotEntries = true; }},
    {"reparse-points", [] { g_answers.reparsePoints = true; }},
    {"listed-ids-unknown", [] { g_answers.listedIdsUnknown = true; }},
    {"handle-ids-unknown", [] { g_answers.handleIdsUnknown = true; }},
    {"no-file-id-query", [] { g_answers.noFileIdQuery = true; }},
    {"no-relative-opens", [] { g_answers.noRelativeOpens = true; }},
    {"listing-breaks-off", [] { g_answers.listingBreaksOff = true; }},
    {"read-only-alone", [] { g_answers.readOnlyAlone = true; }},
    {"ex-disposition-without-ignore-read-only",
     [] { g_answers.exDisposition = ExDisposition::WithoutIgnoreReadOnly; }},
    {"ex-disposition-refused", [] { g_answers.exDisposition = ExDisposition::Refused; }},
    {"wow64-object-names", [] { SeamReplaceWith("NtQueryObject", &AnswerQueryObject); }},
    {"session-of-another-user", &InstallSessionOfAnotherUser},
    {"session-query-refused", &InstallSessionQueryRefused},
    {"shell-of-this-user", &InstallShellOfThisUser},
    {"no-shell", &InstallNoShell},
    {"shell-of-another-user", &InstallShellOfAnotherUser},
    {"session-without-user", &InstallSessionWithoutUser},
    {"account-name-unknown", &InstallAccountNameUnknown},
    {"shell-not-openable", &InstallShellNotOpenable},
    {"shell-token-refused", &InstallShellTokenRefused},
    {"loader-before-windows-8", &InstallLoaderBeforeWindows8},
    {"no-system-folder", &InstallNoSystemFolder},
};

} // namespace

bool InstallWindowsAnswer(const char* name)
{
    StartAfreshUnlessInPlace();
    if (InstallHeldAnswer(name)) {
        ReplaceAll();
        return true;
    }
    for (const Answer& answer : kCatalogue) {
        if (std::strcmp(answer.name, name) == 0) {
            StartAfreshUnlessInPlace();
            ReplaceAll();
            answer.install();
            return true;
        }
    }
    return false;
}

bool InstallWindowsAnswers(const char* names, char* unknown, unsigned unknownSize)
{
    const char* start = names;
    while (*start != '\0') {
        const char* end = std::strchr(start, ',');
        size_t length = end != nullptr ? static_cast<size_t>(end - start) : std::strlen(start);
        char name[64] = {};
        bool fits = length < sizeof(name);
        if (fits) {
            std::memcpy(name, start, length);
        }
        if (length > 0 && (!fits || !InstallWindowsAnswer(name))) {
            if (unknownSize > 0) {
                size_t copied = length < unknownSize ? length : unknownSize - 1;
                std::memcpy(unknown, start, copied);
                unknown[copied] = '\0';
            }
            return false;
        }
        start += length;
        if (*start == ',') {
            ++start;
        }
    }
    return true;
}

void MarkReparsePoint(const WCHAR* name, ULONG tag)
{
    StartAfreshUnlessInPlace();
    g_answers.marks.emplace_back(name, tag);
}

void SetRemovedNamesFolder(const WCHAR* folder)
{
    StartAfreshUnlessInPlace();
    g_answers.removedNames = folder;
}

void RefuseExDispositionWith(LONG status)
{
    StartAfreshUnlessInPlace();
    g_answers.exRefusal = status;
}

int LinkInsidesReached()
{
    return g_answers.linkInsidesReached;
}
