// Saves what a window shows on the screen as a 24-bit BMP file.
#pragma once

#include <windows.h>

#include <string>

// False when the window could not be captured or the file not written.
bool SaveWindowPicture(HWND window, const std::string& bmpPath);
