// The second yardstick of the start-up benchmark: a program that opens the
// same window (the main window's size, styles, title, icon and menu, from the
// program's own resources) with the same three list views (styles, extended
// styles, identifiers, columns), the status bar and one row per list, and
// nothing else: no scan, no settings, no labels, buttons, fonts or image
// list. What the program takes beyond it is its own work.
#include <windows.h>
#include <commctrl.h>

#include "resource.h"
#include "timing_points.h"

namespace {

struct Column {
    const char* text;
    int width;
    int format;
};

const Column DriveColumns[] = {{"Model", 160, LVCFMT_LEFT},
                               {"Controller", 100, LVCFMT_LEFT},
                               {"SMART Enabled", 100, LVCFMT_LEFT},
                               {"Status", 50, LVCFMT_LEFT}};
const Column InfoColumns[] = {{"Type", 190, LVCFMT_LEFT}, {"Value", 180, LVCFMT_LEFT}};
const Column AttributeColumns[] = {{"Id", 35, LVCFMT_LEFT},
                                   {"Attribute Name", 220, LVCFMT_LEFT},
                                   {"Value", 70, LVCFMT_RIGHT},
                                   {"Threshold", 70, LVCFMT_RIGHT}};

struct ListShape {
    int id;
    DWORD style;
    DWORD extendedStyle;
    int top, height;
    const Column* columns;
    int columnCount;
};

const DWORD ListStyle = WS_CHILD | WS_BORDER | LVS_NOSORTHEADER | LVS_SINGLESEL | LVS_REPORT;
const ListShape Lists[] = {
    {500, ListStyle | WS_VISIBLE | LVS_SHAREIMAGELISTS, 0, 20, 90, DriveColumns, 4},
    {504, ListStyle | WS_VISIBLE | LVS_NOCOLUMNHEADER | LVS_SHAREIMAGELISTS, 0, 140, 160, InfoColumns, 2},
    {508, ListStyle, LVS_EX_GRIDLINES, 140, 160, AttributeColumns, 4},
};

void AddListWithOneRow(HWND window, int width, const ListShape& shape)
{
    HWND list = CreateWindowExA(0, WC_LISTVIEWA, "", shape.style, 0, shape.top, width, shape.height,
                                window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(shape.id)),
                                GetModuleHandleA(nullptr), nullptr);
    if (shape.extendedStyle)
        SendMessageA(list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, shape.extendedStyle);
    for (int c = 0; c < shape.columnCount; ++c) {
        LVCOLUMNA column = {};
        column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
        column.fmt = shape.columns[c].format;
        column.cx = shape.columns[c].width;
        column.pszText = const_cast<char*>(shape.columns[c].text);
        column.iSubItem = c;
        SendMessageA(list, LVM_INSERTCOLUMNA, c, reinterpret_cast<LPARAM>(&column));
    }
    for (int c = 0; c < shape.columnCount; ++c) {
        LVITEMA item = {};
        item.mask = LVIF_TEXT;
        item.iSubItem = c;
        item.pszText = const_cast<char*>(shape.columns[c].text);
        SendMessageA(list, c ? LVM_SETITEMA : LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
    }
}

LRESULT CALLBACK ControlsProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE: {
        InitCommonControls();
        RECT client;
        GetClientRect(window, &client);
        for (const ListShape& shape : Lists)
            AddListWithOneRow(window, client.right, shape);
        HWND bar = CreateStatusWindowA(WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, "", window, 1200);
        int parts[2] = {250, -1};
        SendMessageA(bar, SB_SETPARTS, 2, reinterpret_cast<LPARAM>(parts));
        SendMessageA(bar, SB_SETTEXTA, 0, reinterpret_cast<LPARAM>("Status bar text"));
        return 0;
    }
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand)
{
    TimingPoints points = {TimingNow(), 0, 0, 0, 0};
    WNDCLASSA wc = {};
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = ControlsProc;
    wc.hInstance = instance;
    wc.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_APP));
    wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    wc.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    wc.lpszMenuName = MAKEINTRESOURCEA(IDM_MAIN);
    wc.lpszClassName = "controls";
    RegisterClassA(&wc);
    RECT desktop;
    GetClientRect(GetDesktopWindow(), &desktop);
    HWND window = CreateWindowExA(0, "controls", "Ostrivel", WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX,
                                  (desktop.right - 420) / 2, (desktop.bottom - 370) / 2, 420, 370,
                                  nullptr, nullptr, instance, nullptr);
    points.created = TimingNow();
    ShowWindow(window, showCommand);
    UpdateWindow(window);
    points.firstPaint = points.lastPaint = TimingNow();
    return RunTimedMessageLoop(&points);
}
