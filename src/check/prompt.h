// The one question the check asks.
#pragma once

#include <windows.h>

// The prompt's caption and text, as the user sees them.
extern const WCHAR kPromptCaption[];
extern const WCHAR kPromptText[];

// Shows the German Yes/No question without an owner window. True only when
// the user answered Yes; No, a closed box or a box that cannot be shown
// give false. In session 0 (unless it is the console's, as before Windows
// Vista) and on a window station that is not visible no box is shown and the
// result is false at once.
bool AskFullUninstallation();
