#pragma once
#include <string>

// Modal boxes over the main window. Where no box can be shown (no display, or the
// headless "offscreen" and "dummy" video drivers) the text goes to standard error.

// Whether a message box can appear on a screen at all.
bool CanShowDialogs();

// The "LOOM Error" box with "Debug" and "Exit": true for "Debug", false for "Exit".
// Without a display the answer is "Debug", so the caller carries on.
bool ShowErrorDialog(const std::string& expression, const std::string& location, const std::string& message);
// The same box with a new message; expression and location keep their last texts.
bool ShowErrorMessage(const std::string& message);
std::string FormatErrorText(const std::string& expression, const std::string& location, const std::string& message);

// A warning box with a caption and one "OK" button ("Fx Compile Error" and the like).
void ShowMessageBox(const std::string& caption, const std::string& text);

// The zenity file chooser filtered to data files: the chosen path, or empty when the
// user cancels or zenity is not installed.
std::string ShowOpenFileDialog();
