// Time of one refresh tick of the real main window: the drive list and both
// detail pages rebuilt from the drive table, four emulated drives. Wine's list
// view is slow to fill, so the same number of rows put into bare list views of
// the same shape (styles, image list, columns) is timed beside it: the
// difference is the program's own work.
//
//   tick_bench <drive folder> [ticks]
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "drive_services.h"
#include "layout.h"
#include "main_window.h"
#include "refresh_timer.h"

namespace {

double Now()
{
    LARGE_INTEGER f, c;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&c);
    return double(c.QuadPart) / double(f.QuadPart);
}

int Rows(HWND list)
{
    return static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
}

int Columns(HWND list)
{
    HWND header = reinterpret_cast<HWND>(SendMessageA(list, LVM_GETHEADER, 0, 0));
    return static_cast<int>(SendMessageA(header, HDM_GETITEMCOUNT, 0, 0));
}

// A bare list view shaped like `model`: same place, styles, image list and
// number of columns.
HWND BareCopy(HWND parent, HWND model)
{
    RECT r;
    GetWindowRect(model, &r);
    MapWindowPoints(nullptr, GetParent(model), reinterpret_cast<POINT*>(&r), 2);
    HWND list = CreateWindowExA(0, WC_LISTVIEWA, "", GetWindowLongA(model, GWL_STYLE), r.left, r.top,
                                r.right - r.left, r.bottom - r.top, parent, nullptr, nullptr, nullptr);
    SendMessageA(list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0,
                 SendMessageA(model, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0));
    SendMessageA(list, LVM_SETIMAGELIST, LVSIL_SMALL, SendMessageA(model, LVM_GETIMAGELIST, LVSIL_SMALL, 0));
    for (int c = 0; c < Columns(model); ++c) {
        LVCOLUMNA column = {};
        column.mask = LVCF_TEXT | LVCF_WIDTH;
        column.cx = 80;
        column.pszText = const_cast<char*>("Column");
        SendMessageA(list, LVM_INSERTCOLUMNA, c, reinterpret_cast<LPARAM>(&column));
    }
    return list;
}

void FillBare(HWND list, int rows, int columns)
{
    SendMessageA(list, LVM_DELETEALLITEMS, 0, 0);
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < columns; ++c) {
            LVITEMA item = {};
            item.mask = LVIF_TEXT;
            item.iItem = r;
            item.iSubItem = c;
            item.pszText = const_cast<char*>("Cell text");
            SendMessageA(list, c ? LVM_SETITEMA : LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
        }
    }
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: tick_bench <drive folder> [ticks]\n");
        return 2;
    }
    const int ticks = argc > 2 ? std::max(1, std::atoi(argv[2])) : 300;
    // The window loads and saves ostrivel.ini in the current directory.
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    std::string folder = std::string(temp) + "ostrivel-tick-bench";
    CreateDirectoryA(folder.c_str(), nullptr);
    SetCurrentDirectoryA(folder.c_str());
    SetEnvironmentVariableA("OSTRIVEL_DRIVES", argv[1]);
    _putenv_s("OSTRIVEL_DRIVES", argv[1]);
    SelectDriveServices();

    HINSTANCE instance = GetModuleHandleA(nullptr);
    RegisterMainClass(instance);
    bool creationRan = false;
    double created = Now();
    HWND window = CreateMainWindow(instance, &creationRan);
    created = Now() - created;
    if (!window) {
        std::fprintf(stderr, "the main window was not created\n");
        return 1;
    }
    ShowWindow(window, SW_SHOWNORMAL);
    UpdateWindow(window);

    HWND lists[] = {DriveList, InfoList, AttributeList};
    HWND yardstick = CreateWindowExA(0, "STATIC", "", WS_POPUP | WS_VISIBLE, 0, 0, 420, 370, nullptr,
                                     nullptr, instance, nullptr);
    HWND bare[3];
    for (int i = 0; i < 3; ++i)
        bare[i] = BareCopy(yardstick, lists[i]);

    for (int i = 0; i < 10; ++i)
        SendMessageA(window, WM_TIMER, RefreshTimerId, 0);
    double tick = Now();
    for (int i = 0; i < ticks; ++i)
        SendMessageA(window, WM_TIMER, RefreshTimerId, 0);
    tick = (Now() - tick) / ticks;
    double plain = Now();
    for (int i = 0; i < ticks; ++i) {
        for (int l = 0; l < 3; ++l)
            FillBare(bare[l], Rows(lists[l]), Columns(lists[l]));
    }
    plain = (Now() - plain) / ticks;

    std::printf("window creation with the scan of 4 emulated drives: %.1f ms\n", created * 1000);
    std::printf("refresh tick, %d+%d+%d rows rebuilt (mean of %d): %.2f ms\n", Rows(DriveList),
                Rows(InfoList), Rows(AttributeList), ticks, tick * 1000);
    std::printf("same rows into bare list views (yardstick):        %.2f ms   ratio %.2f\n",
                plain * 1000, tick / plain);
    DestroyWindow(yardstick);
    DestroyWindow(window);
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE) && msg.message != WM_QUIT)
        DispatchMessageA(&msg);
    DeleteFileA((folder + "\\ostrivel.ini").c_str());
    SetCurrentDirectoryA(temp);
    RemoveDirectoryA(folder.c_str());
    return 0;
}
