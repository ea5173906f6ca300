#include "adapters/adapter_build_win.h"
#include "adapters/adapter_messages.h"
#include "adapters/adapter_rows.h"
#include "adapters/capture_library_win.h"
#include "core/app_state.h"
#include "core/message_box_win.h"
#include "res/resource.h"

namespace {

const size_t LISTING_MESSAGE_SIZE = 1000;

// Without a list the user learns why, and a running capture is stopped.
void ReportListingFailure(const char* reason)
{
    char message[LISTING_MESSAGE_SIZE];
    ComposeListingFailure(message, sizeof message, reason);
    ShowAppMessage(app.mainWindow, message, MB_ICONERROR);
    SendMessageA(app.mainWindow, WM_COMMAND, CMD_MONITOR_STOP, 0);
}

} // namespace

int EnumerateCaptureDevices()
{
    app.adapters.count = 0;
    const CaptureLibrary* library = GetCaptureLibrary();
    pcap_if_t* devices = nullptr;
    if (library == nullptr) {
        ReportListingFailure(CAPTURE_LIBRARY_MISSING);
    } else {
        char errorText[PCAP_ERRBUF_SIZE] = "";
        if (library->findalldevs(&devices, errorText) != 0) {
            errorText[sizeof errorText - 1] = '\0';
            devices = nullptr;
            ReportListingFailure(errorText);
        }
    }

    const char* stop = nullptr;
    for (pcap_if_t* device = devices; device != nullptr; device = device->next) {
        int taken = TakeCaptureDevice(&app.adapters, device->name ? device->name : "");
        if (taken == DEVICE_NAME_TOO_LONG) {
            stop = MSG_GUID_TOO_LONG;
            break;
        }
        if (taken == DEVICE_TABLE_FULL) {
            stop = MSG_TOO_MANY_CARDS;
            break;
        }
    }
    // The names are copied; nothing of the list is used any more.
    if (devices != nullptr)
        library->freealldevs(devices);

    if (stop != nullptr) {
        ShowAppMessage(app.mainWindow, stop, MB_ICONQUESTION);
        return RESULT_LIMIT;
    }
    if (app.adapters.count == 0) {
        ShowAppMessage(app.mainWindow, MSG_NO_CAPTURE_DEVICE, MB_ICONERROR);
        return RESULT_NOT_FOUND;
    }
    return RESULT_OK;
}
