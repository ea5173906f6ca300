// The packet path on the capture thread: one frame's time, classification, log line,
// lamp icon and timer. Fixed buffers only; nothing here allocates memory
// (opening the log file aside).
#include "monitor/packet_win.h"
#include <pcap/pcap.h>
#include <ctime>
#include <cstring>
#include "app/app_state.h"
#include "monitor/connection_log.h"
#include "monitor/lamp_win.h"
#include "monitor/packet_text.h"
#include "tray/tray_icon_win.h"

namespace {

// Ethernet header bytes skipped unread in front of the IP view.
const size_t ETHERNET_HEADER = 14;

// The selected adapter's address text, or null when selectedIndex names no
// entry: then only "127.0.0.1" counts as sent.
const char* SelectedAdapterAddress()
{
    int32_t index = app.selectedIndex.load();
    int32_t count = app.adapters.count;
    if (index < 0 || index >= count || index >= ADAPTER_MAX)
        return nullptr;
    return app.adapters.ipv4Address[index];
}

} // namespace

void OnPacket(unsigned char*, const struct pcap_pkthdr* header, const unsigned char* bytes)
{
    // StopMonitoring has begun: no log line, no icon, no timer any more.
    if (app.captureStopping.load() == 1)
        return;
    if (header == nullptr)
        return;

    struct tm local;
    time_t seconds = static_cast<time_t>(header->ts.tv_sec);
    char timeText[PACKET_TIME_SIZE];
    if (localtime_s(&local, &seconds) == 0)
        FormatPacketTime(local, timeText, sizeof timeText);
    else
        lstrcpynA(timeText, "0000/00/00 00:00:00", sizeof timeText);

    size_t captured = bytes != nullptr ? header->caplen : 0;
    size_t skipped = captured < ETHERNET_HEADER ? captured : ETHERNET_HEADER;
    ClassifyPacket(bytes != nullptr ? bytes + skipped : nullptr, captured - skipped, timeText);

    ArmLampTimer(app.mainWindow, static_cast<UINT>(app.TimeoutP.load()));
}

void ClassifyPacket(const unsigned char* ipView, size_t ipLength, const char* timeText)
{
    PacketSummary summary;
    SummarizePacket(ipView, ipLength, SelectedAdapterAddress(), app.ColorSend.load(),
                    app.ColorRecv.load(), &summary);

    if (app.logging.load() == 1) {
        PacketDetail detail;
        DescribePacket(ipView, ipLength, &detail);
        char line[PACKET_LINE_SIZE];
        size_t length = FormatLogLine(timeText != nullptr ? timeText : "", summary, detail,
                                      line, sizeof line);
        // A line that cannot be written is lost without a report; the icon
        // and the timer below still follow.
        if (length > 0)
            AppendConnectionLog(app.logPath, line, length);
    }

    TrayIconSetImage(summary.iconId);
}
