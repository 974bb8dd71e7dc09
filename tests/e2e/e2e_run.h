// The real program run as the uninstaller runs it, with the user at its
// prompt, and the host application's stand-in that receives its broadcast.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "prompt.h"

namespace e2e {

// A module mapped in a process: where the loader says it came from, and the
// size of the image that is really mapped.
struct LoadedModule {
    std::wstring path;
    DWORD sizeOfImage = 0;
};

struct CheckRun {
    bool started = false;
    bool exited = false; // within the time limits
    DWORD exitCode = STILL_ACTIVE;
    bool prompted = false;
    // Close, Cancel or Escape left the box on screen, so No was clicked after it.
    bool boxStayed = false;
    PromptSeen prompt;
    // Every other visible top-level window that appeared while the program
    // ran ("class 'title' pid N"), from any process.
    std::vector<std::wstring> otherWindows;
    // The modules mapped in the program while its prompt was up (empty when
    // there was no prompt or they could not be read).
    std::vector<LoadedModule> modulesAtPrompt;
    DWORD milliseconds = 0;
    DWORD afterAnswerMs = 0; // from the answer to the exit (or the limit)
};

// Which program file to start, and in which current folder (empty: the
// test's own).
struct CheckStart {
    std::wstring program;
    std::wstring currentFolder;
    // How long the program may run after the prompt was answered.
    DWORD exitLimitMs = 15000;
};

// Starts the program under test with the command line "<quoted program
// path><commandTail>" and plays the user: a prompt must appear within 15 s
// or the program must have exited; the prompt is recorded and answered; the
// program must then exit within start.exitLimitMs (15 s). A box that ignores Close, Cancel or
// Escape for 1.5 s gets No. A program still running after the limits is
// ended and reported as not exited.
CheckRun RunCheck(const std::wstring& commandTail, Answer answer);

// The same with another copy of the program or another current folder.
CheckRun RunCheck(const CheckStart& start, const std::wstring& commandTail, Answer answer);

// Path of the program under test.
std::wstring CheckProgram();

// ---- The host application's stand-in -------------------------------------

struct CloseRequest {
    unsigned id = 0;
    unsigned long wParam = 0;
    long lParam = 0;
};

struct HostStandIn {
    PROCESS_INFORMATION process = {};
    HWND window = nullptr;
    std::wstring resultFile;
    unsigned registeredId = 0;
    unsigned long marks = 0;
};

// Starts the stand-in and waits (at most 15 s) until its window is there and
// it has registered the close request; heldFile, when given, is kept open by
// it. False when it did not come up.
bool StartHost(HostStandIn& host, const std::wstring& heldFile = L"");

// The close requests the stand-in has received so far. Waits until it has
// handled everything posted to it before this call (at most 10 s); sets
// settled false when it did not answer in time.
std::vector<CloseRequest> ReceivedCloseRequests(HostStandIn& host, bool& settled);

// Asks the stand-in to quit and waits for it (ends it after 10 s).
void StopHost(HostStandIn& host);

} // namespace e2e
