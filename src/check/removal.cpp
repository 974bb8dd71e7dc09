#include <windows.h>

#include <shlobj.h>

#include <new>
#include <string>

#include "check/removal.h"
#include "check/removal_steps.h"
#include "platform/late_bound.h"
#include "platform/verified_files.h"

namespace {

const WCHAR kCompanyFolder[] = L"Corvanta";
const WCHAR kDataFolder[] = L"CorvantaMarbelQuint";
const WCHAR kAccountFile[] = L"Meine Konten.mqd";

// Each step runs on a thread of its own while this one watches its progress
// (a count its calls increment as they return). A step whose calls stop
// returning (a share that stopped answering, a filter driver that holds an
// open) is given up after kStallMs without progress, and the check goes on:
// the account file still goes when the data folder stalls. A long deletion
// that keeps making progress is never cut.
//
// 15 s: far longer than any call of a file system that still answers (the
// step's own waits are 256 ms at most, and oplock breaks are not waited
// for), and short enough that a stalled step is given up well within half a
// minute, with time left for the other step and the exit.
const DWORD kStallMs = 15000;
const DWORD kWatchTickMs = 250;
// After the cancellation, how long the step may take to end.
const DWORD kCancelGraceMs = 1000;

// The folder of a step that is given one, rather than asked of the shell.
const int kGivenFolder = -1;

// What a step's thread uses, on the heap: freed once the thread has ended,
// never while it may still run.
struct WatchedStep {
    void (*run)(const WCHAR* folder, volatile LONG* progress);
    int csidl; // the shell folder the step runs in, or kGivenFolder
    std::wstring folder;
    volatile LONG progress;
};

// The step in its folder. A shell folder is asked for on the step's own
// thread: where it is redirected to a share that stopped answering, its
// look-up (which creates the folder when missing) stalls as the deletion
// would, and is given up with the step.
void RunInItsFolder(WatchedStep& step)
{
    if (step.csidl != kGivenFolder) {
        WCHAR path[MAX_PATH] = {};
        HRESULT found = late::SHGetFolderPathW(nullptr, step.csidl | CSIDL_FLAG_CREATE, nullptr,
                                               SHGFP_TYPE_CURRENT, path);
        InterlockedIncrement(&step.progress);
        if (FAILED(found)) {
            return;
        }
        step.folder = path;
    }
    step.run(step.folder.c_str(), &step.progress);
}

DWORD WINAPI RunStep(LPVOID parameter)
{
    RunInItsFolder(*static_cast<WatchedStep*>(parameter));
    return 0;
}

// Whether the step's thread ended, waited for while its progress moves.
// A stalled step's synchronous I/O is cancelled where the platform can
// (Vista and later); if it still has not ended, it is given up. It cannot
// hold the exit either: ExitProcess ends every other thread, the I/O manager
// cancels the I/O that a terminating thread has pending, and the process
// object, which the uninstaller waits for, is signalled once that
// cancellation has completed.
bool WaitWhileProgressing(HANDLE thread, volatile LONG& progress)
{
    LONG seen = progress;
    DWORD changedAt = GetTickCount();
    for (;;) {
        DWORD waited = WaitForSingleObject(thread, kWatchTickMs);
        if (waited != WAIT_TIMEOUT) {
            return waited == WAIT_OBJECT_0;
        }
        LONG now = progress;
        if (now != seen) {
            seen = now;
            changedAt = GetTickCount();
        } else if (GetTickCount() - changedAt >= kStallMs) {
            // Result not examined: with nothing cancelled the step is given up all the same.
            late::CancelSynchronousIo(thread);
            return WaitForSingleObject(thread, kCancelGraceMs) == WAIT_OBJECT_0;
        }
    }
}

// Runs the step (null where no memory was left for it: nothing runs) and
// frees it once its thread has ended.
void RunWatched(WatchedStep* step)
{
    HANDLE thread = step != nullptr ? late::CreateThread(nullptr, 0, RunStep, step, 0, nullptr) : nullptr;
    if (thread == nullptr) {
        // No thread to spare: the step runs here, unwatched.
        if (step != nullptr) {
            RunInItsFolder(*step);
        }
        delete step;
        return;
    }
    if (WaitWhileProgressing(thread, step->progress)) {
        delete step;
    }
    CloseHandle(thread);
}

void DeleteDataFolder(const WCHAR* appData, volatile LONG* progress)
{
    DeleteFolderBelow(appData, kCompanyFolder, kDataFolder, progress);
}

void DeleteAccountFile(const WCHAR* documents, volatile LONG* progress)
{
    DeleteFileIn(documents, kAccountFile, progress);
}

} // namespace

void ClearDataFolderIn(const WCHAR* appData)
{
    RunWatched(new (std::nothrow) WatchedStep{DeleteDataFolder, kGivenFolder, appData, 0});
}

void DeleteAccountFileIn(const WCHAR* documents)
{
    RunWatched(new (std::nothrow) WatchedStep{DeleteAccountFile, kGivenFolder, documents, 0});
}

void RemoveUserData()
{
    RunWatched(new (std::nothrow) WatchedStep{DeleteDataFolder, CSIDL_APPDATA, std::wstring(), 0});
    RunWatched(new (std::nothrow) WatchedStep{DeleteAccountFile, CSIDL_PERSONAL, std::wstring(), 0});
}
