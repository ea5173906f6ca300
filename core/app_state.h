// The one process-wide record. Every subsystem reads and writes its fields
// directly; the flags shared with the capture thread are atomic so that the
// two threads never race on them.
#pragma once
#include <winsock2.h>
#include <windows.h>
#include <shellapi.h>
#include <atomic>
#include <cstdint>
#include "core/adapter_table.h"

enum {
    CAPTION_SIZE = 128,
    PATH_FIELD_SIZE = 512,
    CARD_NAME_SIZE = 500,
    // "LogFiles": set-aside connection logs kept, 1 to LOG_FILES_MAX.
    LOG_FILES_DEFAULT = 5,
    LOG_FILES_MAX = 99
};

struct AppState {
    // Flags, 0 or 1.
    std::atomic<int32_t> monitoring;
    std::atomic<int32_t> logging;
    std::atomic<int32_t> dialogOpen;
    // How many of the program's message boxes are open: the GUI thread and
    // the capture thread may each have one open at the same time.
    std::atomic<int32_t> messageBoxOpen;
    std::atomic<int32_t> registryWarned;
    std::atomic<int32_t> trayIconAdded;
    std::atomic<int32_t> cardMissing;
    // Automatic mode while monitoring: no usable connection, no capture.
    std::atomic<int32_t> noConnection;
    // 1 from the start of WinMain until the message loop: commands and the
    // tray menu wait for it to end. closeRequested records a close asked
    // for meanwhile, which ends the program once start-up returns.
    std::atomic<int32_t> startingUp;
    std::atomic<int32_t> closeRequested;
    // The quit message came during start-up: Quit once start-up has ended.
    std::atomic<int32_t> quitRequested;

    // Settings (keys of the same names; "CardIndex" is selectedIndex).
    std::atomic<int32_t> selectedIndex;
    int32_t WaitTime;
    int32_t WaitCount;
    char CardName[CARD_NAME_SIZE];
    int32_t InitOpt;
    int32_t StartOpt;
    int32_t NowOpt;
    std::atomic<int32_t> ColorSend;
    std::atomic<int32_t> ColorRecv;
    std::atomic<int32_t> TimeoutP;
    // "CardAuto": 1 captures the connection in use, 0 the chosen adapter.
    // Written only once the file has it or Automatic was chosen, so that a
    // file of a user who never chose it stays as it was.
    int32_t CardAuto;
    int32_t cardAutoStored;
    // "GraphX", "GraphY", "GraphW", "GraphH": the traffic graph window's
    // place on the screen. Written once the file has them or the window was
    // opened; graphPlaceStored 0 leaves them out.
    int32_t GraphX;
    int32_t GraphY;
    int32_t GraphW;
    int32_t GraphH;
    int32_t graphPlaceStored;
    // "LogLimitMB": the size in MB (1,048,576 bytes) at which the connection
    // log is set aside, 0 for none; "LogFiles": how many set-aside files are
    // kept. Each written only once the file has it.
    int32_t LogLimitMB;
    int32_t LogFiles;
    int32_t logLimitStored;
    int32_t logFilesStored;
    // "LampShapes": 1 shows the lamps as shapes in their colours ("Arrows in
    // the lamp"). Written only once the file has it or the user chose.
    int32_t LampShapes;
    int32_t lampShapesStored;

    HINSTANCE instance;
    HWND mainWindow;
    HWND graphWindow;  // while the traffic graph is open
    char caption[CAPTION_SIZE];
    char moduleDir[PATH_FIELD_SIZE];
    char helpPath[PATH_FIELD_SIZE];
    char logPath[PATH_FIELD_SIZE];
    char settingsPath[PATH_FIELD_SIZE];

    // The notification record; only its first-version part is sent
    // (cbSize NOTIFYICONDATAA_V1_SIZE, a 64-byte tip).
    NOTIFYICONDATAA trayData;
    WSADATA wsaData;


    AdapterTable adapters;
    IpconfigTable ipconfig;
};

extern AppState app;

// Sets the defaults of a fresh process (flags 0, settings defaults, no window).
void ResetAppState();
