// The packet path on the capture thread: one frame's time, classification
// and log line, gathered into the read's batch. Fixed buffers only; nothing
// here allocates memory or calls the shell. The adapter's own addresses come
// with the batch: the adapter table belongs to the GUI thread, which may
// rebuild it while a read runs.
#include "monitor/packet_win.h"
#include <pcap/pcap.h>
#include <cstring>
#include "core/app_state.h"
#include "monitor/connection_log.h"
#include "monitor/lamp_win.h"
#include "monitor/packet_text.h"
#include "monitor/rates_win.h"
#include "tray/lamp_look.h"

namespace {

// Ethernet header bytes skipped unread in front of the IP view.
const size_t ETHERNET_HEADER = 14;

} // namespace

void OnPacket(unsigned char* user, const struct pcap_pkthdr* header, const unsigned char* bytes)
{
    PacketBatch* batch = reinterpret_cast<PacketBatch*>(user);
    if (batch == nullptr || header == nullptr)
        return;
    // The run is being stopped: no log line, no lamp any more.
    if (batch->stopping != nullptr && batch->stopping->load() == 1)
        return;

    // The time only goes into a log line: no conversion while nothing is
    // logged. The flags are read once, so a frame is logged whole or not at all.
    bool logging = app.logging.load() == 1 && batch->log != nullptr && batch->logHeld->load() == 0;
    const char* timeText = logging ? batch->time.Of(static_cast<int64_t>(header->ts.tv_sec)) : nullptr;

    size_t captured = bytes != nullptr ? header->caplen : 0;
    size_t skipped = captured < ETHERNET_HEADER ? captured : ETHERNET_HEADER;
    if (batch->ports != nullptr)
        batch->ports->Count(bytes, captured, header->len, batch->own);
    bool sent = ClassifyPacket(batch, bytes != nullptr ? bytes + skipped : nullptr, captured - skipped,
                               timeText);
    (sent ? batch->sentBytes : batch->receivedBytes) += header->len;
}

bool ClassifyPacket(PacketBatch* batch, const unsigned char* ipView, size_t ipLength,
                    const char* timeText)
{
    PacketSummary summary;
    SummarizePacket(ipView, ipLength, batch->ownIpv4, app.ColorSend.load(),
                    app.ColorRecv.load(), &summary, batch->own.ipv6);

    if (timeText != nullptr && batch->log != nullptr) {
        PacketDetail detail;
        DescribePacket(ipView, ipLength, &detail);
        char line[PACKET_LINE_SIZE];
        size_t length = FormatLogLine(timeText, summary, detail,
                                      line, sizeof line);
        batch->log->AddLine(line, length);
    }

    bool sent = summary.direction[0] == 'S';
    batch->lastIcon = summary.iconId | (sent ? 0 : LAMP_RECEIVED);
    ++batch->frames;
    return sent;
}

void EndPacketBatch(PacketBatch* batch, HWND window)
{
    if (batch->frames > 0 && batch->stopping->load() == 0) {
        ReportLampActivity(window, batch->lastIcon);
        ReportTraffic(batch->sentBytes, batch->receivedBytes);
    }
    batch->frames = 0;
    batch->sentBytes = batch->receivedBytes = 0;
    if (batch->log != nullptr)
        batch->log->Flush();
}
