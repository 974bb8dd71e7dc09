// What the end-to-end runs need around the real program: its folders, files
// seeded and looked at, the user at the prompt and the host application's
// stand-in.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace e2e {

// ---- Folders -------------------------------------------------------------

// The current user's roaming application-data folder and Documents, as the
// shell reports them now. Empty on failure.
std::wstring RoamingAppData();
std::wstring Documents();

// A throw-away folder of the test's own below the temporary folder (created).
std::wstring WorkFolder();

// The folder this test program was started from, which holds the program
// under test and the stand-in.
std::wstring ProgramFolder();

// text as UTF-8, for messages and files.
std::string Narrow(const std::wstring& text);

// ---- Files ---------------------------------------------------------------

// path with "\\?\" in front, so that paths of any length can be used.
std::wstring Long(const std::wstring& path);

bool Exists(const std::wstring& path);
bool IsFolder(const std::wstring& path);

// Writes text (UTF-8) to path, creating missing parent folders. False on failure.
bool WriteTextFile(const std::wstring& path, const std::string& text);

// The file's bytes; empty when it cannot be read.
std::string ReadTextFile(const std::wstring& path);

// Creates path and its missing parents. False on failure.
bool MakeFolders(const std::wstring& path);

// Deletes path with everything below it; a link to a folder is left alone.
// Not for folders holding links to files: Wine's deletion follows those.
void RemoveTree(const std::wstring& path);

// The names in folder, in the order the platform lists them.
std::vector<std::wstring> ListFolder(const std::wstring& folder);

// One line per entry below root, sorted: "relative\path/" for a folder,
// "relative\path size" for a file. The entries named in skip (relative
// paths) are left out with everything below them. Empty when root does not
// exist. Links to folders are listed, not entered.
std::vector<std::wstring> Snapshot(const std::wstring& root, const std::vector<std::wstring>& skip = {});

// ---- The program under test and the user at its prompt -------------------

// Every way a user can leave the prompt: its two buttons, the window's
// close request, the dialog's Cancel command and the Escape key.
enum class Answer { Yes, No, Close, Cancel, Escape };

struct PromptButton {
    int id = 0;
    std::wstring text;
};

// What the user saw in the prompt.
struct PromptSeen {
    std::wstring caption;
    std::wstring text;            // of the static text control, as UTF-16 units
    int textControlId = 0;        // the dialog item that held the text
    std::vector<PromptButton> buttons; // visible buttons, in z-order
    std::wstring icon;            // "question", "hand", "exclamation", "asterisk", "none" or "unknown"
    std::wstring iconDetail;      // how close each candidate icon came
};

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
};

// Which program file to start, and in which current folder (empty: the
// test's own).
struct CheckStart {
    std::wstring program;
    std::wstring currentFolder;
};

// Starts the program under test with CreateProcessW and the command line
// "<quoted program path><commandTail>" and plays the user: a prompt must
// appear within 15 s or the program must have exited; the prompt is
// recorded and answered; the program must then exit within 15 s. A box
// that ignores Close, Cancel or Escape for 1.5 s gets No. A program still
// running after the limits is ended and reported as not exited.
CheckRun RunCheck(const std::wstring& commandTail, Answer answer);

// The same with another copy of the program or another current folder.
CheckRun RunCheck(const CheckStart& start, const std::wstring& commandTail, Answer answer);

// Path of the program under test.
std::wstring CheckProgram();

// True when window is the program's prompt as the user sees it: a visible
// dialog captioned "Corvanta Marbel-Quint" of the process processId (any
// process when 0).
bool IsPrompt(HWND window, DWORD processId);

// The prompt now on screen, or nullptr.
HWND FindPrompt(DWORD processId);

// Reads what the prompt shows: caption, text, buttons, icon (compared on
// screen with the system's icons).
void RecordPrompt(HWND dialog, PromptSeen& prompt);

// Leaves the prompt as a user would with answer. False when the button it
// needs is not there or the message could not be sent.
bool AnswerPrompt(HWND dialog, Answer answer);

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
