// The deletion of a folder and of a file inside folders that others (the
// user, their programs, an attacker) may change while it runs. What must
// never happen: anything outside them deleted or changed. The answers:
// - Swapped paths. Only the first folder is opened by its path. Every entry
//   below it is opened relative to its parent's handle (by the parent's
//   verified location where a file system refuses that), and folders are
//   held without sharing deletion: nobody renames them away meanwhile.
// - Links. Every entry is opened as itself and used only when IsListedEntry
//   holds: its real location is its parent's and its listed name, its kind
//   and reparse mark are as listed, its file id is the listed one where both
//   sides give a real one. A platform that follows a link on open fails that
//   test (another location, kind or id), so the followed link stays. A link
//   opened as itself is deleted as a link and never entered. The named
//   folders and the named file must be no links at all.
// - Hard links. A file's read-only mark is cleared only where it is the
//   entry's own (nt_files.h), else the name stays; only that asks for write
//   access to attributes.
// - Holders. A program holding an entry for a moment (a virus scanner, an
//   indexer, an oplock being broken) is waited for by Retry only, within one
//   budget per step; one that keeps its handle wins. A folder still listing
//   entries whose deletion waits for another handle is waited for so too.
// - Stalls. Every call that returns increments the step's progress: the
//   caller gives up a step that makes none (a share that stopped answering).
// - Depth. Open folders are kept on a stack in the heap, not in recursion.
//   What bounds it is the heap and the length of a name: nothing longer than
//   kMaxNameUnits can be verified, so below about 16,000 levels entries stay.
#include <windows.h>

#include <vector>

#include "platform/nt_files.h"
#include "platform/verified_files.h"

namespace {

const ACCESS_MASK kListAccess = FILE_LIST_DIRECTORY | FILE_TRAVERSE | FILE_READ_ATTRIBUTES | SYNCHRONIZE;
const ACCESS_MASK kDeleteAccess = DELETE | FILE_READ_ATTRIBUTES | SYNCHRONIZE;
// Folders are held without sharing deletion: nobody renames them away meanwhile.
const ULONG kShareFolder = FILE_SHARE_READ | FILE_SHARE_WRITE;
const ULONG kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// Tries at an entry that another program holds, each after a wait twice as
// long as the one before: 2 to 256 ms, about half a second an entry in all,
// and never more than the step's budget has left.
const int kMaxRetries = 8;
const DWORD kFirstRetryWaitMs = 2;

struct Step {
    DWORD waitLeftMs;        // what Retry may still wait
    volatile LONG* progress; // incremented as calls return
};

bool IsFolder(const ListedEntry& entry)
{
    return (entry.attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool IsLink(const FILE_ATTRIBUTE_TAG_INFORMATION& tag)
{
    return (tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) && IsReparseTagNameSurrogate(tag.ReparseTag);
}

// 0 and all bits set mean "no id" (file systems without them).
bool IsRealId(LONGLONG id)
{
    return id != 0 && id != -1;
}

// The rule: whether the entry open as handle is the one its folder listed
// as entry, at location. tag receives what the handle says of its kind.
bool IsListedEntry(HANDLE handle, const std::wstring& location, const ListedEntry& entry,
                   FILE_ATTRIBUTE_TAG_INFORMATION& tag)
{
    const ULONG kind = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT;
    // Exact comparison: the name is spelt as the file system stores it.
    if (location.size() > kMaxNameUnits || QueryLocation(handle, location.size()) != location ||
        !QueryAttributeTag(handle, tag) || ((tag.FileAttributes ^ entry.attributes) & kind)) {
        return false;
    }
    LONGLONG id = 0;
    return !IsRealId(entry.id) || (QueryFileId(handle, id) && (!IsRealId(id) || id == entry.id));
}

// Waits before the next try, unless this entry had its tries or the step's
// budget is spent; what was really waited comes off the budget.
bool WaitToRetry(int tries, Step& step)
{
    if (tries >= kMaxRetries || step.waitLeftMs == 0) {
        return false;
    }
    DWORD wait = kFirstRetryWaitMs << tries;
    wait = wait < step.waitLeftMs ? wait : step.waitLeftMs;
    DWORD start = GetTickCount();
    Sleep(wait);
    DWORD waited = GetTickCount() - start;
    step.waitLeftMs -= waited < wait ? wait : (waited < step.waitLeftMs ? waited : step.waitLeftMs);
    return true;
}

// The only place that tries again: calls attempt until it answers something
// other than a brief holder's refusal, or the tries are spent.
template <typename Attempt> NTSTATUS Retry(Step& step, Attempt attempt)
{
    for (int tries = 0;; ++tries) {
        NTSTATUS status = attempt();
        InterlockedIncrement(step.progress);
        bool held = status == kStatusSharingViolation || status == kStatusOplockBreakInProgress ||
                    status == kStatusDirectoryNotEmpty;
        if (!held || !WaitToRetry(tries, step)) {
            return status;
        }
    }
}

// Opens entry of parent; keeps the handle only where IsListedEntry holds.
NTSTATUS OpenListedEntry(HANDLE parent, const std::wstring& parentLocation, const ListedEntry& entry,
                         ACCESS_MASK access, ULONG share, HANDLE& handle, FILE_ATTRIBUTE_TAG_INFORMATION& tag)
{
    ULONG kind = IsFolder(entry) ? FILE_DIRECTORY_FILE : FILE_NON_DIRECTORY_FILE;
    NTSTATUS status = OpenEntry(parent, parentLocation, entry.name, access, share, kind, handle);
    if (handle != INVALID_HANDLE_VALUE &&
        !IsListedEntry(handle, JoinLocation(parentLocation, entry.name), entry, tag)) {
        CloseHandle(handle);
        handle = INVALID_HANDLE_VALUE;
        return kStatusObjectNameNotFound; // the entry as listed is not there
    }
    return status;
}

// Opens entry to delete it: with write access to its attributes only when
// its listing shows a read-only mark that may have to be cleared. A folder
// that another program holds without sharing deletion (its current folder)
// is opened without delete access: it can be emptied, then it stays.
NTSTATUS OpenToDelete(Step& step, HANDLE parent, const std::wstring& parentLocation, const ListedEntry& entry,
                      HANDLE& handle, FILE_ATTRIBUTE_TAG_INFORMATION& tag)
{
    ACCESS_MASK access =
        kDeleteAccess | (entry.attributes & FILE_ATTRIBUTE_READONLY ? FILE_WRITE_ATTRIBUTES : 0);
    ACCESS_MASK list = IsFolder(entry) ? kListAccess : 0;
    ULONG share = IsFolder(entry) ? kShareFolder : kShareAll;
    NTSTATUS status = Retry(step, [&] {
        return OpenListedEntry(parent, parentLocation, entry, access | list, share, handle, tag);
    });
    if (status == kStatusSharingViolation && IsFolder(entry)) {
        status = OpenListedEntry(parent, parentLocation, entry, kListAccess, share, handle, tag);
    }
    return status;
}

// Deletes the entry open as handle, listed as entry; with clearReadOnly a
// read-only mark that is its own is cleared where the platform cannot
// ignore it.
bool DeleteOpenEntry(Step& step, HANDLE handle, const ListedEntry& entry, bool clearReadOnly)
{
    NTSTATUS status = Retry(step, [&] {
        NTSTATUS answer = SetDeleteDisposition(handle, clearReadOnly);
        if (answer == kStatusCannotDelete && clearReadOnly && ClearOwnReadOnly(handle, IsFolder(entry))) {
            answer = SetDeleteDisposition(handle, clearReadOnly);
        }
        return answer;
    });
    return NT_SUCCESS(status);
}

// A folder of the walk, open and verified: its listing, taken entry by entry.
struct OpenFolder {
    HANDLE handle;
    std::wstring location;
    ListedEntry entry;
    std::vector<ListedEntry> entries;
    size_t next;
    size_t left; // entries that stay (one more when the listing ended early)
};

// Adds the folder open as handle to the walk; a link is not listed.
void PushFolder(Step& step, std::vector<OpenFolder>& stack, HANDLE handle, const std::wstring& location,
                const ListedEntry& entry, bool link)
{
    stack.push_back(OpenFolder{handle, location, entry, {}, 0, 0});
    if (!link && !ListFolder(handle, stack.back().entries, step.progress)) {
        stack.back().left = 1;
    }
}

// Deletes the folder open as root (taken over and closed) with everything
// inside it, one entry at a time, depth first.
void DeleteTree(Step& step, HANDLE root, const std::wstring& location, const ListedEntry& listed)
{
    std::vector<OpenFolder> stack;
    PushFolder(step, stack, root, location, listed, false);
    for (;;) {
        OpenFolder& top = stack.back();
        if (top.next == top.entries.size()) {
            // Emptied, it may still list entries whose deletion waits for
            // another program's handle (where names do not go at once).
            if (top.left == 0 && !top.entries.empty() &&
                !NT_SUCCESS(Retry(step, [&] { return QueryEmptiness(top.handle); }))) {
                top.left = 1;
            }
            bool gone = top.left == 0 && DeleteOpenEntry(step, top.handle, top.entry, true);
            CloseHandle(top.handle);
            stack.pop_back();
            if (stack.empty()) {
                return;
            }
            stack.back().left += gone ? 0 : 1;
            continue;
        }
        const ListedEntry entry = top.entries[top.next++];
        HANDLE handle = INVALID_HANDLE_VALUE;
        FILE_ATTRIBUTE_TAG_INFORMATION tag;
        NTSTATUS status = OpenToDelete(step, top.handle, top.location, entry, handle, tag);
        if (handle == INVALID_HANDLE_VALUE) {
            top.left += status == kStatusDeletePending ? 0 : 1;
        } else if (IsFolder(entry)) {
            // top is invalid once pushed onto: the stack may move.
            PushFolder(step, stack, handle, JoinLocation(top.location, entry.name), entry, IsLink(tag));
        } else {
            // A link to a file, opened as itself, goes as a link.
            top.left += DeleteOpenEntry(step, handle, entry, true) ? 0 : 1;
            CloseHandle(handle);
        }
    }
}

// What OpenNamedEntry is asked for a folder to be deleted.
const ACCESS_MASK kToDelete = 0;

// Opens the entry that the file system matches with name in parent, listed
// as a folder (folder) or a file, verified and no link: with access sharing
// no deletion, or kToDelete as OpenToDelete opens it.
HANDLE OpenNamedEntry(Step& step, HANDLE parent, const std::wstring& parentLocation, const WCHAR* name,
                      bool folder, ACCESS_MASK access, ListedEntry& entry)
{
    HANDLE handle = INVALID_HANDLE_VALUE;
    FILE_ATTRIBUTE_TAG_INFORMATION tag;
    if (!FindEntry(parent, name, entry) || IsFolder(entry) != folder) {
        return INVALID_HANDLE_VALUE;
    }
    if (access == kToDelete) {
        OpenToDelete(step, parent, parentLocation, entry, handle, tag);
    } else {
        Retry(step, [&] {
            return OpenListedEntry(parent, parentLocation, entry, access, kShareFolder, handle, tag);
        });
    }
    if (handle != INVALID_HANDLE_VALUE && IsLink(tag)) {
        CloseHandle(handle);
        handle = INVALID_HANDLE_VALUE;
    }
    return handle;
}

} // namespace

void DeleteFolderBelow(const WCHAR* root, const WCHAR* parentName, const WCHAR* folderName,
                       volatile LONG* progress)
{
    Step step = {kBriefHolderWaitMs, progress};
    std::wstring rootLocation;
    HANDLE rootFolder = OpenFolderByPath(root, rootLocation);
    if (rootFolder == INVALID_HANDLE_VALUE) {
        return;
    }
    ListedEntry parentEntry;
    HANDLE parent =
        OpenNamedEntry(step, rootFolder, rootLocation, parentName, true, kListAccess, parentEntry);
    CloseHandle(rootFolder);
    if (parent == INVALID_HANDLE_VALUE) {
        return;
    }
    // The parent stays open until the end: nobody can rename it away meanwhile.
    std::wstring parentLocation = JoinLocation(rootLocation, parentEntry.name);
    ListedEntry entry;
    HANDLE folder = OpenNamedEntry(step, parent, parentLocation, folderName, true, kToDelete, entry);
    if (folder != INVALID_HANDLE_VALUE) {
        DeleteTree(step, folder, JoinLocation(parentLocation, entry.name), entry);
    }
    CloseHandle(parent);
}

void DeleteFileIn(const WCHAR* root, const WCHAR* fileName, volatile LONG* progress)
{
    Step step = {kBriefHolderWaitMs, progress};
    std::wstring rootLocation;
    HANDLE rootFolder = OpenFolderByPath(root, rootLocation);
    if (rootFolder == INVALID_HANDLE_VALUE) {
        return;
    }
    ListedEntry entry;
    HANDLE file = OpenNamedEntry(step, rootFolder, rootLocation, fileName, false,
                                 FILE_READ_DATA | kDeleteAccess, entry);
    CloseHandle(rootFolder);
    if (file != INVALID_HANDLE_VALUE) {
        // Result not examined: a file that cannot be deleted simply stays.
        DeleteOpenEntry(step, file, entry, false);
        CloseHandle(file);
    }
}
