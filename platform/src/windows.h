// The window table: handles, captions and ownership of the windows of the process.
#pragma once

#include <win32/windows.h>

#include <string>

namespace pinforge::win {

HWND Create(const std::string& className, const std::string& caption, HWND owner);

}  // namespace pinforge::win
