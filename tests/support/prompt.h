// The user at the check's prompt: finding the box on screen, reading what it
// shows and leaving it as a user would.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// The caption of the check's box.
extern const WCHAR kPromptCaption[];

// Every way a user can leave the prompt: its two buttons, the window's
// close request, the dialog's Cancel command and the Escape key.
enum class Answer { Yes, No, Close, Cancel, Escape };

// The answer from its name ("yes", "no", "close", "cancel", "escape");
// false when unknown.
bool AnswerNamed(const std::string& name, Answer& answer);

struct PromptButton {
    int id = 0;
    std::wstring text;
};

// What the user saw in the prompt.
struct PromptSeen {
    std::wstring caption;
    std::wstring text;                 // of the static text control, as UTF-16 units
    int textControlId = 0;             // the dialog item that held the text
    std::vector<PromptButton> buttons; // visible buttons, in z-order
    std::wstring icon;                 // "question", "hand", "exclamation", "asterisk", "none" or "unknown"
    std::wstring iconDetail;           // how close each candidate icon came
};

// The top-level windows now, in z-order.
std::vector<HWND> TopLevelWindows();

// "class 'title' pid N", for messages.
std::wstring DescribeWindow(HWND window);

// True when window is the program's prompt as the user sees it: a visible
// dialog captioned kPromptCaption of the process processId (any process
// when 0).
bool IsPrompt(HWND window, DWORD processId);

// The prompt now on screen, or nullptr.
HWND FindPrompt(DWORD processId);

// Reads what the prompt shows: caption, text, buttons, icon (compared on
// screen with the system's icons).
void RecordPrompt(HWND dialog, PromptSeen& prompt);

// Leaves the prompt as a user would with answer. False when the button it
// needs is not there or the message could not be sent.
bool AnswerPrompt(HWND dialog, Answer answer);

// The virtual display has no window manager, and Wine waits two seconds for
// one whenever a window it lets a manager handle is closed. Drawn by Wine
// itself, the prompt closes at once and shows its caption in screenshots.
// Does nothing outside Wine.
void LetWineDrawThePrompt();
