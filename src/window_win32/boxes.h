#pragma once

#include <windows.h>

#include <string>

#include "window_surface.h"

namespace probelyn {

// Shows a box owned by the window and returns once it was dismissed: a
// message box, or with details a dialog of standard controls that shows them
// in a read-only edit on request.
void ShowBoxOver(HWND owner, const Box& box);
// Asks with Yes and No; true for Yes.
bool AskOver(HWND owner, const std::string& title, const std::string& question);
// Answers a box the window owns, if one is up, as its close button would:
// OK, or No to a question.
void AnswerOpenBox(HWND owner);

}  // namespace probelyn
