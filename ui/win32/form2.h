#pragma once

#include <windows.h>

// The About box: a fixed dialog with one paragraph about the program and
// one "OK" button, Command1. OK (by mouse, Enter or Space) and the title
// bar's close button close it; Escape does not.
namespace Form2 {

// Shows the box modally, owned by `owner`; returns once it has closed.
void Show(HWND owner);

} // namespace Form2
