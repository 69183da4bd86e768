// The player's entry point and frame loop: command line, window procedure, message pump.
#pragma once

#include <windows.h>

// Program-wide settings from the command line, and the window's state.
extern int width;        // -x: window width, and the display-mode width in full screen
extern int height;       // -y
extern int depth;        // -d: 0 selects windowed mode; logged as screenDepth
extern char sceneName[80];
extern bool demoMode;
extern int active;       // non-zero while the window is neither minimised nor hidden

// Finds `option` (such as "-x") at the start of a word and reads the integer after it as atoi
// does. Returns false, leaving `value` alone, when no word starts with the option.
bool findOption(const char* commandLine, const char* option, int& value);

// Copies the first word that does not start with "-" (at most 79 characters) into `buffer`.
// Returns false, leaving `buffer` alone, when there is none. `description` names what the
// caller looks for and changes nothing.
bool getArgument(const char* commandLine, const char* description, char* buffer);

// Handles at most one window message; true when the program is to quit.
bool pumpMessages();
void frameLoop();
LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
