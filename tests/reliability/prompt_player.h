// The user at the prompt, with every way a user can leave it: the two
// buttons, the window's close request, the dialog's Cancel command and the
// Escape key.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace reliability {

enum class Gesture { Yes, No, Close, Cancel, Escape };

// Gesture from its name ("yes", "no", "close", "cancel", "escape"); false
// when unknown.
bool ParseGesture(const std::string& name, Gesture& gesture);

struct PlayedRun {
    bool started = false;
    bool exited = false; // within the time limits
    DWORD exitCode = STILL_ACTIVE;
    bool prompted = false;
    // Close, Cancel or Escape left the box on screen, so No was clicked after it.
    bool boxStayed = false;
    // Every other visible top-level window that appeared during the run
    // ("class 'title' pid N"), from any process.
    std::vector<std::wstring> otherWindows;
    DWORD milliseconds = 0;
};

// Starts the program under test (e2e::CheckProgram()) with the command line
// "<quoted program path><commandTail>", waits at most 15 s for its prompt or
// its exit, leaves the prompt with gesture and waits at most 15 s for the
// exit. A box that ignores Close, Cancel or Escape for 1.5 s gets No. A program still
// running after the limits is ended and reported as not exited.
PlayedRun PlayCheck(const std::wstring& commandTail, Gesture gesture);

} // namespace reliability
