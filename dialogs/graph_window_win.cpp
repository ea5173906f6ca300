// The traffic graph: a small tool window with the rates of the last minute
// (or ten minutes), drawn from the history the rate tick keeps. It draws
// what the portable scale and points give, into a bitmap first so that a
// repaint never flickers, and only when the tick tells it to. Under the
// plot a list view names the programs with traffic in the same span; its
// rows are changed in place, field by field, so that it keeps its scroll
// position and selection. The list asks for its texts when it paints
// them, so that a second's new sums redraw only the rows on screen. It
// takes the windows' light or dark mode, or the high-contrast scheme, when
// it opens and whenever the system announces a change.
#include "dialogs/graph_window_win.h"
#include <commctrl.h>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include "adapters/system_library_win.h"
#include "core/app_state.h"
#include "core/theme_win.h"
#include "dialogs/graph_colours.h"
#include "dialogs/graph_place.h"
#include "dialogs/graph_scale.h"
#include "monitor/rate_text.h"
#include "monitor/monitoring_win.h"
#include "monitor/programs_win.h"
#include "monitor/rates_win.h"
#include "res/resource.h"

namespace {

const char WINDOW_CLASS[] = "NetGlowGraph";
const int BASE_DPI = 96;
// Sizes at 96 dots per inch, scaled to the window's own.
const int DEFAULT_WIDTH = 420;
const int DEFAULT_HEIGHT = 380;
const int MIN_WIDTH = 260;
const int MIN_HEIGHT = 180;
// The list: a header and two rows at the least, else two fifths of the height.
const int LIST_MIN_HEIGHT = 64;
const int AMOUNT_WIDTH = 72;
const int PADDING = 8;
const int SCREEN_MARGIN = 12;

// GUI thread only; the span stays as chosen while the program runs.
HistorySpan span = SPAN_MINUTE;
// As last read: on opening, and on each change the system announces.
GraphLook look = GRAPH_LOOK_LIGHT;
WNDPROC listProcedure = nullptr;
int windowDpi = BASE_DPI;
HFONT font = nullptr;
HWND list = nullptr;
HIMAGELIST images = nullptr;

// What each row of the list shows, and what the list reads when it paints.
struct ShownRow {
    uint32_t serial;
    int image;
    wchar_t name[260];
    wchar_t sent[RATE_TEXT_SIZE];
    wchar_t received[RATE_TEXT_SIZE];
};
ShownRow shown[PROGRAM_MAX + 1];
int shownCount = 0;
// The program whose icon each image of the list holds.
uint32_t imageSerial[PROGRAM_MAX];

int Scaled(int size)
{
    return MulDiv(size, windowDpi, BASE_DPI);
}

// The window's own dots per inch where the system can say (Windows 10
// 1607 on), else the system's.
int DpiOf(HWND window)
{
    using GetDpiForWindowFn = UINT WINAPI(HWND);
    static GetDpiForWindowFn* const getDpiForWindow =
        BindEntry<GetDpiForWindowFn>(GetModuleHandleA("user32.dll"), "GetDpiForWindow");
    if (window != nullptr && getDpiForWindow != nullptr) {
        UINT dpi = getDpiForWindow(window);
        if (dpi != 0)
            return static_cast<int>(dpi);
    }
    HDC screen = GetDC(nullptr);
    int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : BASE_DPI;
}

// The message font of the system, at the window's scaling.
void MakeFont()
{
    if (font != nullptr)
        DeleteObject(font);
    NONCLIENTMETRICSA metrics;
    ZeroMemory(&metrics, sizeof metrics);
    metrics.cbSize = sizeof metrics;
    int systemDpi = DpiOf(nullptr);
    if (SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) {
        metrics.lfMessageFont.lfHeight = MulDiv(metrics.lfMessageFont.lfHeight, windowDpi, systemDpi);
        font = CreateFontIndirectA(&metrics.lfMessageFont);
    } else {
        font = nullptr;
    }
}

int ListHeight(const RECT& client)
{
    int least = Scaled(LIST_MIN_HEIGHT);
    int share = client.bottom * 2 / 5;
    return share > least ? share : least;
}

// The plot's part of the client area: above the list.
RECT GraphArea(HWND window)
{
    RECT client;
    GetClientRect(window, &client);
    client.bottom -= ListHeight(client);
    if (client.bottom < 0)
        client.bottom = 0;
    return client;
}

void PlaceList(HWND window)
{
    if (list == nullptr)
        return;
    RECT client;
    GetClientRect(window, &client);
    int height = ListHeight(client);
    int pad = Scaled(PADDING);
    int width = client.right - 2 * pad;
    SetWindowPos(list, nullptr, pad, client.bottom - height, width > 0 ? width : 0, height - pad > 0 ? height - pad : 0,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    int amount = Scaled(AMOUNT_WIDTH);
    int name = width - 2 * amount - GetSystemMetrics(SM_CXVSCROLL) - 4;
    SendMessageW(list, LVM_SETCOLUMNWIDTH, 0, name > amount ? name : amount);
    SendMessageW(list, LVM_SETCOLUMNWIDTH, 1, amount);
    SendMessageW(list, LVM_SETCOLUMNWIDTH, 2, amount);
}

void AddColumn(int index, const wchar_t* title, int format)
{
    LVCOLUMNW column;
    ZeroMemory(&column, sizeof column);
    column.mask = LVCF_TEXT | LVCF_FMT | LVCF_WIDTH | LVCF_SUBITEM;
    column.fmt = format;
    column.cx = Scaled(AMOUNT_WIDTH);
    column.pszText = const_cast<wchar_t*>(title);
    column.iSubItem = index;
    SendMessageW(list, LVM_INSERTCOLUMNW, index, reinterpret_cast<LPARAM>(&column));
}

void MakeList(HWND window)
{
    INITCOMMONCONTROLSEX controls = { sizeof controls, ICC_LISTVIEW_CLASSES };
    InitCommonControlsEx(&controls);
    list = CreateWindowExW(WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"Programs",
                           WS_CHILD | WS_VISIBLE | WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS
                               | LVS_NOSORTHEADER,
                           0, 0, 0, 0, window, nullptr, app.instance, nullptr);
    if (list == nullptr)
        return;
    SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER,
                 LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER);
    AddColumn(0, L"Program", LVCFMT_LEFT);
    AddColumn(1, L"Sent", LVCFMT_RIGHT);
    AddColumn(2, L"Received", LVCFMT_RIGHT);
    images = ImageList_Create(GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), ILC_COLOR32 | ILC_MASK,
                              PROGRAM_MAX, 0);
    if (images != nullptr) {
        ImageList_SetImageCount(images, PROGRAM_MAX);
        // The list destroys its image list with it.
        SendMessageW(list, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(images));
    }
    std::memset(imageSerial, 0, sizeof imageSerial);
    shownCount = 0;
    if (font != nullptr)
        SendMessageW(list, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    PlaceList(window);
}

void SetField(int item, int field, const wchar_t* text)
{
    LVITEMW row;
    ZeroMemory(&row, sizeof row);
    row.iSubItem = field;
    row.pszText = const_cast<wchar_t*>(text);
    SendMessageW(list, LVM_SETITEMTEXTW, item, reinterpret_cast<LPARAM>(&row));
}

// Redraws the rows first to last where they are on screen: rows scrolled
// out of view are read afresh when they come back.
void RedrawRows(int first, int last)
{
    int top = static_cast<int>(SendMessageW(list, LVM_GETTOPINDEX, 0, 0));
    int bottom = top + static_cast<int>(SendMessageW(list, LVM_GETCOUNTPERPAGE, 0, 0));
    if (first < top)
        first = top;
    if (last > bottom)
        last = bottom; // the row cut by the bottom edge is partly shown
    if (first <= last)
        SendMessageW(list, LVM_REDRAWITEMS, first, last);
}

void WideAmount(uint64_t bytes, wchar_t* out)
{
    char text[RATE_TEXT_SIZE];
    FormatBytes(bytes, text, sizeof text);
    for (size_t i = 0; i < sizeof text; ++i)
        if ((out[i] = static_cast<unsigned char>(text[i])) == L'\0')
            break;
}

// The program's image, made when the program is new to the list.
int ImageOf(int index)
{
    HICON icon = ProgramIcon(index);
    if (images == nullptr || icon == nullptr)
        return I_IMAGENONE;
    uint32_t serial = ProgramSerial(index);
    if (imageSerial[index] != serial) {
        ImageList_ReplaceIcon(images, index, icon);
        imageSerial[index] = serial;
    }
    return index;
}

uint32_t SelectedSerial()
{
    int item = static_cast<int>(SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
    return item >= 0 && item < shownCount ? shown[item].serial : 0;
}

void Select(int item, bool selected)
{
    LVITEMW state;
    ZeroMemory(&state, sizeof state);
    state.stateMask = LVIS_SELECTED;
    state.state = selected ? LVIS_SELECTED : 0;
    SendMessageW(list, LVM_SETITEMSTATE, item, reinterpret_cast<LPARAM>(&state));
}

// The span's programs, row by row in place; the selection stays with its
// program wherever the sums move it.
void UpdateList()
{
    if (list == nullptr)
        return;
    ProgramRow rows[PROGRAM_MAX + 1];
    int count = ProgramsRows(span, rows);
    uint32_t selected = SelectedSerial();
    int firstChanged = count, lastChanged = -1;
    for (int i = 0; i < count; ++i) {
        ShownRow next;
        next.serial = ProgramSerial(rows[i].index);
        next.image = ImageOf(rows[i].index);
        lstrcpynW(next.name, ProgramName(rows[i].index), 260);
        WideAmount(rows[i].sent, next.sent);
        WideAmount(rows[i].received, next.received);
        ShownRow& old = shown[i];
        if (i >= shownCount) {
            LVITEMW item;
            ZeroMemory(&item, sizeof item);
            item.mask = LVIF_TEXT | LVIF_IMAGE;
            item.iItem = i;
            item.iImage = next.image;
            item.pszText = LPSTR_TEXTCALLBACKW;
            // The texts are read from shown[], which must hold them first.
            old = next;
            SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
            SetField(i, 1, LPSTR_TEXTCALLBACKW);
            SetField(i, 2, LPSTR_TEXTCALLBACKW);
        } else {
            if (old.image != next.image) {
                LVITEMW item;
                ZeroMemory(&item, sizeof item);
                item.mask = LVIF_IMAGE;
                item.iItem = i;
                item.iImage = next.image;
                SendMessageW(list, LVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&item));
            }
            if (std::wcscmp(old.name, next.name) != 0 || std::wcscmp(old.sent, next.sent) != 0
                || std::wcscmp(old.received, next.received) != 0) {
                if (firstChanged > i)
                    firstChanged = i;
                lastChanged = i;
            }
        }
        bool wasSelected = i < shownCount && selected != 0 && old.serial == selected;
        bool isSelected = selected != 0 && next.serial == selected;
        old = next;
        if (wasSelected != isSelected)
            Select(i, isSelected);
    }
    for (int i = shownCount - 1; i >= count; --i)
        SendMessageW(list, LVM_DELETEITEM, i, 0);
    shownCount = count;
    if (lastChanged >= 0)
        RedrawRows(firstChanged, lastChanged);
}

// A text of a row, as the list paints it or anyone asks for it.
LRESULT OnListDisplayInfo(NMLVDISPINFOW* info)
{
    LVITEMW& item = info->item;
    if ((item.mask & LVIF_TEXT) == 0 || item.pszText == nullptr || item.cchTextMax <= 0)
        return 0;
    const wchar_t* text = L"";
    // Not shownCount: during an update the rows up to the one being
    // inserted are already in shown[].
    if (item.iItem >= 0 && item.iItem <= PROGRAM_MAX) {
        const ShownRow& row = shown[item.iItem];
        text = item.iSubItem == 0 ? row.name : (item.iSubItem == 1 ? row.sent : row.received);
    }
    lstrcpynW(item.pszText, text, item.cchTextMax);
    return 0;
}

// The connection as the tip names it, and "No connection" where there is
// none to name.
void ShowTitle(HWND window)
{
    const char* name = ConnectionName();
    char title[CAPTION_SIZE + CARD_NAME_SIZE];
    std::snprintf(title, sizeof title, "NetGlow - %s", name != nullptr ? name : "No connection");
    char shown[sizeof title];
    GetWindowTextA(window, shown, sizeof shown);
    if (std::strcmp(title, shown) != 0)
        SetWindowTextA(window, title);
}

GraphColours ColoursNow(bool off)
{
    SystemColours system = { GetSysColor(COLOR_WINDOW), GetSysColor(COLOR_WINDOWTEXT), GetSysColor(COLOR_GRAYTEXT),
                             GetSysColor(COLOR_HIGHLIGHT) };
    return ChooseGraphColours(look, app.ColorSend.load(), app.ColorRecv.load(), off, system);
}

HBRUSH ReceivedBrush(const GraphColours& colours)
{
    return colours.hatchedFill ? CreateHatchBrush(HS_BDIAGONAL, colours.receivedFill)
                               : CreateSolidBrush(colours.receivedFill);
}

void FillColour(HDC dc, const RECT& rect, COLORREF colour)
{
    HBRUSH brush = CreateSolidBrush(colour);
    FillRect(dc, &rect, brush);
    DeleteObject(brush);
}

// Returns the x just after a left-aligned text.
int TextAt(HDC dc, int x, int y, const char* text, UINT align)
{
    SetTextAlign(dc, align);
    TextOutA(dc, x, y, text, lstrlenA(text));
    SIZE size;
    GetTextExtentPoint32A(dc, text, lstrlenA(text), &size);
    return x + size.cx;
}

// The key to a direction in front of its rate: a patch of the received
// area, or a stroke of the sent line. Returns where the text goes.
int DrawKey(HDC dc, int x, int y, int lineHeight, bool received, const GraphColours& colours)
{
    int side = lineHeight * 2 / 3;
    RECT patch = { x, y + (lineHeight - side) / 2, x + side, y + (lineHeight + side) / 2 };
    if (received) {
        HBRUSH fill = ReceivedBrush(colours);
        FillRect(dc, &patch, fill);
        DeleteObject(fill);
    } else {
        HPEN pen = CreatePen(PS_SOLID, Scaled(2), colours.sentLine);
        HGDIOBJ old = SelectObject(dc, pen);
        MoveToEx(dc, patch.left, y + lineHeight / 2, nullptr);
        LineTo(dc, patch.right, y + lineHeight / 2);
        SelectObject(dc, old);
        DeleteObject(pen);
    }
    return patch.right + Scaled(PADDING) / 2;
}

void DrawScale(HDC dc, const GraphScale& scale, const PlotArea& plot, int textHeight, COLORREF grid)
{
    HPEN gridPen = CreatePen(PS_SOLID, 1, grid);
    HGDIOBJ oldPen = SelectObject(dc, gridPen);
    for (int k = 0; k <= scale.steps; ++k) {
        int y = plot.bottom - MulDiv(plot.bottom - plot.top, k, scale.steps);
        MoveToEx(dc, plot.left, y, nullptr);
        LineTo(dc, plot.right, y);
        TextAt(dc, plot.left - Scaled(PADDING) / 2, y - textHeight / 2, scale.labels[k], TA_RIGHT | TA_TOP);
    }
    SelectObject(dc, oldPen);
    DeleteObject(gridPen);
}

// Received as a filled area, sent as a line over it: the two stay apart
// even when Setup gave them the same colour.
void DrawCurves(HDC dc, const RateSample* samples, int count, uint64_t top, const PlotArea& plot,
                const GraphColours& colours)
{
    if (count == 0)
        return;
    POINT area[HISTORY_POINTS + 2];
    PlotPoint points[HISTORY_POINTS];
    PlotPoints(samples, count, true, top, plot, points);
    for (int i = 0; i < count; ++i)
        area[i] = POINT{ points[i].x, points[i].y };
    area[count] = POINT{ points[count - 1].x, plot.bottom };
    area[count + 1] = POINT{ points[0].x, plot.bottom };
    HBRUSH fill = ReceivedBrush(colours);
    HPEN edge = CreatePen(PS_SOLID, 1, colours.receivedLine);
    HGDIOBJ oldBrush = SelectObject(dc, fill);
    HGDIOBJ oldPen = SelectObject(dc, edge);
    Polygon(dc, area, count + 2);

    PlotPoints(samples, count, false, top, plot, points);
    POINT line[HISTORY_POINTS];
    for (int i = 0; i < count; ++i)
        line[i] = POINT{ points[i].x, points[i].y };
    HPEN sentPen = CreatePen(PS_SOLID, Scaled(2), colours.sentLine);
    SelectObject(dc, sentPen);
    Polyline(dc, line, count);

    SelectObject(dc, oldPen);
    SelectObject(dc, oldBrush);
    DeleteObject(sentPen);
    DeleteObject(edge);
    DeleteObject(fill);
}

void DrawGraph(HDC dc, const RECT& client)
{
    bool off = app.monitoring != 1;
    GraphColours colours = ColoursNow(off);
    FillColour(dc, client, colours.background);
    HGDIOBJ oldFont = SelectObject(dc, font != nullptr ? font : GetStockObject(DEFAULT_GUI_FONT));
    // Transparent also for the gaps of a hatched fill.
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, colours.text);
    TEXTMETRICA metrics;
    GetTextMetricsA(dc, &metrics);
    int lineHeight = metrics.tmHeight;
    int pad = Scaled(PADDING);

    RateSample samples[HISTORY_POINTS];
    int count = HistorySamples(RatesHistory(), span, samples);
    GraphScale scale = ChooseScale(HighestRate(samples, count));
    SIZE widest = { 0, 0 };
    for (int k = 0; k <= scale.steps; ++k) {
        SIZE size;
        GetTextExtentPoint32A(dc, scale.labels[k], lstrlenA(scale.labels[k]), &size);
        if (size.cx > widest.cx)
            widest = size;
    }
    PlotArea plot = { pad + widest.cx + pad / 2, pad + lineHeight + lineHeight / 2, client.right - pad,
                      client.bottom - pad - 2 * lineHeight - pad };
    if (plot.bottom <= plot.top || plot.right <= plot.left) {
        SelectObject(dc, oldFont);
        return;
    }

    TextAt(dc, client.right - pad, pad, span == SPAN_MINUTE ? "Last 60 s" : "Last 10 min", TA_RIGHT | TA_TOP);
    DrawScale(dc, scale, plot, lineHeight, colours.grid);
    DrawCurves(dc, samples, count, scale.step * scale.steps, plot, colours);

    char sent[RATE_TEXT_SIZE], received[RATE_TEXT_SIZE], line[2 * RATE_TEXT_SIZE + 64];
    int footer = plot.bottom + pad;
    if (off) {
        TextAt(dc, (plot.left + plot.right) / 2, (plot.top + plot.bottom - lineHeight) / 2, "Monitoring is off",
               TA_CENTER | TA_TOP);
    } else {
        RateSample now = count > 0 ? samples[count - 1] : RateSample{ 0, 0 };
        FormatRate(now.sent, sent, sizeof sent);
        FormatRate(now.received, received, sizeof received);
        std::snprintf(line, sizeof line, "Sent %s", sent);
        int x = DrawKey(dc, pad, footer, lineHeight, false, colours);
        x = TextAt(dc, x, footer, line, TA_LEFT | TA_TOP) + 2 * pad;
        std::snprintf(line, sizeof line, "Received %s", received);
        x = DrawKey(dc, x, footer, lineHeight, true, colours);
        TextAt(dc, x, footer, line, TA_LEFT | TA_TOP);
    }
    uint64_t sentTotal, receivedTotal;
    RatesTotals(&sentTotal, &receivedTotal);
    FormatBytes(sentTotal, sent, sizeof sent);
    FormatBytes(receivedTotal, received, sizeof received);
    std::snprintf(line, sizeof line, "Since Monitor start: sent %s, received %s", sent, received);
    TextAt(dc, pad, footer + lineHeight, line, TA_LEFT | TA_TOP);
    SelectObject(dc, oldFont);
}

LRESULT OnGraphPaint(HWND window)
{
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    RECT client = GraphArea(window);
    HDC memory = CreateCompatibleDC(dc);
    HBITMAP bitmap = CreateCompatibleBitmap(dc, client.right > 0 ? client.right : 1,
                                            client.bottom > 0 ? client.bottom : 1);
    if (memory != nullptr && bitmap != nullptr) {
        HGDIOBJ oldBitmap = SelectObject(memory, bitmap);
        DrawGraph(memory, client);
        BitBlt(dc, 0, 0, client.right, client.bottom, memory, 0, 0, SRCCOPY);
        SelectObject(memory, oldBitmap);
    }
    // The margin around the list, which the window's class leaves unpainted.
    RECT rest;
    GetClientRect(window, &rest);
    rest.top = client.bottom;
    FillColour(dc, rest, ColoursNow(false).background);
    if (bitmap != nullptr)
        DeleteObject(bitmap);
    if (memory != nullptr)
        DeleteDC(memory);
    EndPaint(window, &paint);
    return 0;
}

// A header item in the look's own colours, its title placed as the
// column's format says.
void DrawHeaderItem(const NMCUSTOMDRAW* draw, const GraphColours& colours)
{
    FillColour(draw->hdc, draw->rc, colours.headerBackground);
    HPEN divider = CreatePen(PS_SOLID, 1, colours.grid);
    HGDIOBJ oldPen = SelectObject(draw->hdc, divider);
    MoveToEx(draw->hdc, draw->rc.right - 1, draw->rc.top, nullptr);
    LineTo(draw->hdc, draw->rc.right - 1, draw->rc.bottom);
    SelectObject(draw->hdc, oldPen);
    DeleteObject(divider);
    wchar_t title[64] = L"";
    HDITEMW item;
    ZeroMemory(&item, sizeof item);
    item.mask = HDI_TEXT | HDI_FORMAT;
    item.pszText = title;
    item.cchTextMax = 64;
    SendMessageW(draw->hdr.hwndFrom, HDM_GETITEMW, draw->dwItemSpec, reinterpret_cast<LPARAM>(&item));
    RECT text = draw->rc;
    InflateRect(&text, -Scaled(PADDING) / 2 - 2, 0);
    SetBkMode(draw->hdc, TRANSPARENT);
    SetTextColor(draw->hdc, colours.headerText);
    UINT align = (item.fmt & HDF_JUSTIFYMASK) == HDF_RIGHT ? DT_RIGHT : DT_LEFT;
    DrawTextW(draw->hdc, title, -1, &text, align | DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS | DT_NOPREFIX);
}

// The system draws the header light whatever the mode: in the dark look it
// is drawn here, the space right of the last column too.
LRESULT DrawHeader(const NMCUSTOMDRAW* draw)
{
    GraphColours colours = ColoursNow(false);
    if (!colours.ownHeader)
        return CDRF_DODEFAULT;
    switch (draw->dwDrawStage) {
    case CDDS_PREPAINT:
        return CDRF_NOTIFYITEMDRAW | CDRF_NOTIFYPOSTPAINT;
    case CDDS_ITEMPREPAINT:
        DrawHeaderItem(draw, colours);
        return CDRF_SKIPDEFAULT;
    case CDDS_POSTPAINT: {
        RECT rest;
        GetClientRect(draw->hdr.hwndFrom, &rest);
        int count = static_cast<int>(SendMessageW(draw->hdr.hwndFrom, HDM_GETITEMCOUNT, 0, 0));
        RECT last;
        if (count > 0 && SendMessageW(draw->hdr.hwndFrom, HDM_GETITEMRECT, count - 1, reinterpret_cast<LPARAM>(&last)))
            rest.left = last.right;
        FillColour(draw->hdc, rest, colours.headerBackground);
        return CDRF_DODEFAULT;
    }
    }
    return CDRF_DODEFAULT;
}

// The header's custom draw goes to its parent, the list, not to this
// window: the list's procedure is wrapped to answer it.
LRESULT CALLBACK ListProcedure(HWND control, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NOTIFY) {
        const NMHDR* header = reinterpret_cast<const NMHDR*>(lParam);
        if (header->code == NM_CUSTOMDRAW
            && header->hwndFrom == reinterpret_cast<HWND>(SendMessageW(control, LVM_GETHEADER, 0, 0)))
            return DrawHeader(reinterpret_cast<const NMCUSTOMDRAW*>(lParam));
    }
    return CallWindowProcW(listProcedure, control, message, wParam, lParam);
}

void DrawListHeader()
{
    if (list != nullptr)
        listProcedure = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrW(list, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ListProcedure)));
}

// The build as the system knows it: GetVersionEx answers what the manifest
// names at most.
uint32_t WindowsBuild()
{
    using RtlGetVersionFn = LONG WINAPI(RTL_OSVERSIONINFOW*);
    RtlGetVersionFn* getVersion = BindEntry<RtlGetVersionFn>(GetModuleHandleA("ntdll.dll"), "RtlGetVersion");
    RTL_OSVERSIONINFOW version;
    ZeroMemory(&version, sizeof version);
    version.dwOSVersionInfoSize = sizeof version;
    return getVersion != nullptr && getVersion(&version) == 0 ? version.dwBuildNumber : 0;
}

// Windows 10 1809 and later draw the frame dark on request; before, the
// attribute is unknown and the call changes nothing, and before Vista there
// is no dwmapi.dll to ask.
void RequestTitleBar(HWND window)
{
    static const HMODULE dwm = LoadSystemLibrary("dwmapi.dll");
    using SetAttributeFn = HRESULT WINAPI(HWND, DWORD, LPCVOID, DWORD);
    SetAttributeFn* setAttribute = BindEntry<SetAttributeFn>(dwm, "DwmSetWindowAttribute");
    if (setAttribute == nullptr)
        return;
    TitleBarRequest request = ChooseTitleBar(look, WindowsBuild());
    BOOL value = request.value;
    setAttribute(window, request.attribute, &value, sizeof value);
}

// The look read afresh and carried to the list, the title bar and the plot.
void ApplyLook(HWND window)
{
    look = ChooseGraphLook(HighContrastNow().on, AppsUseLightTheme());
    GraphColours colours = ColoursNow(false);
    if (list != nullptr) {
        SendMessageW(list, LVM_SETBKCOLOR, 0, colours.background);
        SendMessageW(list, LVM_SETTEXTCOLOR, 0, colours.listText);
        SendMessageW(list, LVM_SETTEXTBKCOLOR, 0, colours.background);
    }
    RequestTitleBar(window);
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME | RDW_ALLCHILDREN);
}

// The light/dark setting changed.
LRESULT OnGraphSettingChange(HWND window, LPARAM lParam)
{
    if (NamesColourSetChange(lParam))
        ApplyLook(window);
    return 0;
}

// The system's colours changed, high contrast with them. The list hears of
// it only from its parent.
LRESULT OnGraphColoursChange(HWND window)
{
    if (list != nullptr)
        SendMessageW(list, WM_SYSCOLORCHANGE, 0, 0);
    ApplyLook(window);
    return 0;
}

// A second has passed, or monitoring stopped or lost its connection.
LRESULT OnGraphUpdate(HWND window)
{
    ShowTitle(window);
    if (IsWindowVisible(window) && !IsIconic(window)) {
        RECT graph = GraphArea(window);
        InvalidateRect(window, &graph, FALSE);
        UpdateList();
    }
    return 0;
}

void ToggleSpan(HWND window)
{
    span = span == SPAN_MINUTE ? SPAN_TEN_MINUTES : SPAN_MINUTE;
    RECT graph = GraphArea(window);
    InvalidateRect(window, &graph, FALSE);
    UpdateList();
}

LRESULT OnGraphSize(HWND window)
{
    PlaceList(window);
    InvalidateRect(window, nullptr, FALSE);
    return 0;
}

// The menu key or a right-click on the plot switches the span; a
// right-click on the title bar opens the system menu, as on any window.
LRESULT OnGraphContextMenu(HWND window, WPARAM wParam, LPARAM lParam)
{
    // From the keyboard both coordinates are -1.
    bool fromKeyboard = static_cast<short>(LOWORD(lParam)) == -1 && static_cast<short>(HIWORD(lParam)) == -1;
    if (!fromKeyboard && SendMessageA(window, WM_NCHITTEST, 0, lParam) != HTCLIENT)
        return DefWindowProcA(window, WM_CONTEXTMENU, wParam, lParam);
    ToggleSpan(window);
    return 0;
}

LRESULT OnGraphKey(HWND window, WPARAM key)
{
    if (key == VK_ESCAPE)
        DestroyWindow(window);
    else if (key == VK_SPACE)
        ToggleSpan(window);
    return 0;
}

// Esc and Space work as on the plot while the list has the focus.
LRESULT OnGraphNotify(HWND window, LPARAM lParam)
{
    const NMHDR* header = reinterpret_cast<const NMHDR*>(lParam);
    if (header->hwndFrom == list && header->code == LVN_KEYDOWN)
        return OnGraphKey(window, reinterpret_cast<const NMLVKEYDOWN*>(lParam)->wVKey);
    if (header->hwndFrom == list && header->code == LVN_GETDISPINFOW)
        return OnListDisplayInfo(reinterpret_cast<NMLVDISPINFOW*>(lParam));
    return 0;
}

// Every move and resize, so that Quit saves where the window is now.
LRESULT OnGraphMoved(HWND window, WPARAM wParam, LPARAM lParam)
{
    RECT rect;
    if (!IsIconic(window) && GetWindowRect(window, &rect)) {
        app.GraphX = rect.left;
        app.GraphY = rect.top;
        app.GraphW = rect.right - rect.left;
        app.GraphH = rect.bottom - rect.top;
    }
    return DefWindowProcA(window, WM_WINDOWPOSCHANGED, wParam, lParam);
}

LRESULT OnGraphMinMaxInfo(LPARAM lParam)
{
    MINMAXINFO* info = reinterpret_cast<MINMAXINFO*>(lParam);
    info->ptMinTrackSize.x = Scaled(MIN_WIDTH);
    info->ptMinTrackSize.y = Scaled(MIN_HEIGHT + LIST_MIN_HEIGHT);
    return 0;
}

LRESULT OnGraphDpiChanged(HWND window, WPARAM wParam, LPARAM lParam)
{
    windowDpi = HIWORD(wParam) != 0 ? HIWORD(wParam) : BASE_DPI;
    MakeFont();
    if (list != nullptr)
        SendMessageW(list, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    const RECT* suggested = reinterpret_cast<const RECT*>(lParam);
    SetWindowPos(window, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                 suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
    InvalidateRect(window, nullptr, FALSE);
    return 0;
}

LRESULT OnGraphDestroy()
{
    app.graphWindow = nullptr;
    list = nullptr;
    images = nullptr;
    shownCount = 0;
    if (font != nullptr)
        DeleteObject(font);
    font = nullptr;
    return 0;
}

LRESULT CALLBACK GraphWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_PAINT:
        return OnGraphPaint(window);
    case WM_ERASEBKGND:
        return 1; // the paint covers every pixel
    case WM_GRAPH_UPDATE:
        return OnGraphUpdate(window);
    case WM_CONTEXTMENU:
        return OnGraphContextMenu(window, wParam, lParam);
    case WM_KEYDOWN:
        return OnGraphKey(window, wParam);
    case WM_WINDOWPOSCHANGED:
        return OnGraphMoved(window, wParam, lParam);
    case WM_GETMINMAXINFO:
        return OnGraphMinMaxInfo(lParam);
    case WM_DPICHANGED:
        return OnGraphDpiChanged(window, wParam, lParam);
    case WM_SIZE:
        return OnGraphSize(window);
    case WM_NOTIFY:
        return OnGraphNotify(window, lParam);
    case WM_SETTINGCHANGE:
        return OnGraphSettingChange(window, lParam);
    case WM_SYSCOLORCHANGE:
        return OnGraphColoursChange(window);
    case WM_NOTIFYFORMAT:
        return NFR_UNICODE; // the list's names are Unicode in an ANSI window
    case WM_DESTROY:
        return OnGraphDestroy();
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

bool RegisterGraphClass()
{
    static bool registered = false;
    if (registered)
        return true;
    WNDCLASSA windowClass;
    ZeroMemory(&windowClass, sizeof windowClass);
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = GraphWindowProc;
    windowClass.hInstance = app.instance;
    windowClass.hIcon = LoadIconA(app.instance, MAKEINTRESOURCEA(ICON_APP));
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.lpszClassName = WINDOW_CLASS;
    registered = RegisterClassA(&windowClass) != 0;
    return registered;
}

ScreenRect WorkAreaOf(HMONITOR monitor)
{
    MONITORINFO info;
    info.cbSize = sizeof info;
    if (!GetMonitorInfoA(monitor, &info))
        SystemParametersInfoA(SPI_GETWORKAREA, 0, &info.rcWork, 0);
    return ScreenRect{ info.rcWork.left, info.rcWork.top, info.rcWork.right, info.rcWork.bottom };
}

// The saved place, on the monitor nearest to it; else beside the
// notification area.
ScreenRect GraphPlace()
{
    if (app.graphPlaceStored == 1) {
        // The middle, in 64 bits: the numbers come from a file.
        int64_t x = static_cast<int64_t>(app.GraphX) + app.GraphW / 2;
        int64_t y = static_cast<int64_t>(app.GraphY) + app.GraphH / 2;
        POINT middle = { static_cast<LONG>(x < INT32_MIN ? INT32_MIN : (x > INT32_MAX ? INT32_MAX : x)),
                         static_cast<LONG>(y < INT32_MIN ? INT32_MIN : (y > INT32_MAX ? INT32_MAX : y)) };
        ScreenRect work = WorkAreaOf(MonitorFromPoint(middle, MONITOR_DEFAULTTONEAREST));
        return KeepOnWorkArea(app.GraphX, app.GraphY, app.GraphW, app.GraphH, work);
    }
    RECT notify = { 0, 0, 0, 0 };
    HWND taskbar = FindWindowA("Shell_TrayWnd", nullptr);
    HWND area = taskbar != nullptr ? FindWindowExA(taskbar, nullptr, "TrayNotifyWnd", nullptr) : nullptr;
    if (area == nullptr || !GetWindowRect(area, &notify)) {
        // No notification area to be near: the primary monitor's corner
        // where it usually is.
        SystemParametersInfoA(SPI_GETWORKAREA, 0, &notify, 0);
        notify.left = notify.right;
        notify.top = notify.bottom;
    }
    ScreenRect work = WorkAreaOf(MonitorFromRect(&notify, MONITOR_DEFAULTTONEAREST));
    return DefaultGraphPlace(ScreenRect{ notify.left, notify.top, notify.right, notify.bottom }, work,
                             Scaled(DEFAULT_WIDTH), Scaled(DEFAULT_HEIGHT), Scaled(SCREEN_MARGIN));
}

} // namespace

void ShowTrafficGraph()
{
    if (app.graphWindow != nullptr) {
        SetForegroundWindow(app.graphWindow);
        return;
    }
    if (!RegisterGraphClass())
        return;
    windowDpi = DpiOf(nullptr);
    ScreenRect place = GraphPlace();
    HWND window = CreateWindowExA(WS_EX_TOOLWINDOW, WINDOW_CLASS, "NetGlow",
                                  WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_CLIPCHILDREN, place.left,
                                  place.top, place.right - place.left, place.bottom - place.top, nullptr,
                                  nullptr, app.instance, nullptr);
    if (window == nullptr)
        return;
    app.graphWindow = window;
    // From now on the settings keep its place.
    app.graphPlaceStored = 1;
    // On another monitor than the system's scaling: the window's own.
    windowDpi = DpiOf(window);
    MakeFont();
    MakeList(window);
    DrawListHeader();
    // Before the window shows, so that its frame is dark from the start.
    ApplyLook(window);
    UpdateList();
    ShowTitle(window);
    ShowWindow(window, SW_SHOW);
    SetForegroundWindow(window);
}
