// Uses NetGlow's tray icon as a person does: a click on the icon (the
// callback message the shell sends), then the popup menu read and chosen from
// with the keyboard; dialogs found by caption and clicked.
#pragma once
#include <windows.h>
#include <string>
#include <vector>
#include "support/netglow_process.h"

// The menu's items in order as its texts, "-" for a separator. Menu handles
// cannot be read from another process, so the caller says what the menu
// holds; choosing by position then proves it (the command that runs is the
// one at that position).
using MenuTexts = std::vector<std::string>;

// Clicks the tray icon (right button) and waits for the popup menu.
bool OpenTrayMenu(NetGlowProcess& ng, HWND* popup, DWORD timeoutMs = 10000);
// Chooses the item `text` of a menu laid out as `items`, with the arrow keys
// and Enter, as a keyboard user does.
bool ChooseMenuItem(HWND popup, const MenuTexts& items, const std::string& text, DWORD timeoutMs = 10000);
// Opens the menu and chooses `text` from it.
bool ChooseFromTrayMenu(NetGlowProcess& ng, const MenuTexts& items, const std::string& text);

// The tip of the first icon of the notification area (the only one in a test
// prefix), read as a person reads it: the mouse comes to rest on the icon
// and the shell's tip window shows the text, kept current while it shows.
// Empty when no tip showed in time.
std::string TrayIconTip(DWORD timeoutMs = 10000);

// A top-level window of the process with that class and caption, bounded wait.
HWND WaitForWindow(DWORD processId, const char* className, const char* caption, DWORD timeoutMs = 15000);
// Clicks a button of a dialog as a mouse click does.
void ClickButton(HWND dialog, int buttonId);
bool WaitUntilGone(HWND window, DWORD timeoutMs = 10000);

// Saves the whole screen, or a part of it, as a 24-bit BMP file.
bool SaveScreenshot(const std::string& path, const RECT* part = nullptr);
