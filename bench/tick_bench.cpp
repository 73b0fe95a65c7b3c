// Time of one refresh tick of the real main window, four emulated drives,
// counted with the paint it causes: timer 1's message is sent to the window
// (the whole tick, whatever it does), then the thread's queue is run until no
// message and no paint is left. Two kinds of tick, on the information page:
// one after another, when nothing shown changes, and one after the user
// double-clicked the last drive, when the tick takes both pages back to the
// first drive and clears the drive list's selection.
//
// The yardstick, timed in the same run and alternated with the ticks: the
// same rows put with their paint into plain, visible list views of the same
// shape (styles, extended styles, image list, columns), filled without any
// care, the way a list view is filled first.
//
//   tick_bench <drive folder> [ticks]
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

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
    return double(c.QuadPart) / double(f.QuadPart) * 1000;
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

// Runs the queue until it holds nothing, paints included.
void Settle()
{
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

struct Cell {
    std::string text;
    int image;
};

// What one list of the real window shows: the rows the yardstick puts again.
struct ListContent {
    int columns;
    bool images;
    std::vector<std::vector<Cell>> rows;
};

ListContent ReadContent(HWND list)
{
    ListContent content = {Columns(list),
                           SendMessageA(list, LVM_GETIMAGELIST, LVSIL_SMALL, 0) != 0, {}};
    for (int r = 0; r < Rows(list); ++r) {
        std::vector<Cell> row;
        for (int c = 0; c < content.columns; ++c) {
            char text[256] = {};
            LVITEMA item = {};
            item.mask = LVIF_TEXT | LVIF_IMAGE;
            item.iItem = r;
            item.iSubItem = c;
            item.pszText = text;
            item.cchTextMax = sizeof text;
            SendMessageA(list, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item));
            row.push_back({text, item.iImage});
        }
        content.rows.push_back(row);
    }
    return content;
}

// A plain, visible list view shaped like `model`, at `top` in `parent`.
HWND PlainCopy(HWND parent, HWND model, int top)
{
    RECT r;
    GetWindowRect(model, &r);
    DWORD style = static_cast<DWORD>(GetWindowLongA(model, GWL_STYLE)) | WS_VISIBLE;
    HWND list = CreateWindowExA(0, WC_LISTVIEWA, "", style, 0, top, r.right - r.left,
                                r.bottom - r.top, parent, nullptr, nullptr, nullptr);
    SendMessageA(list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0,
                 SendMessageA(model, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0));
    SendMessageA(list, LVM_SETIMAGELIST, LVSIL_SMALL,
                 SendMessageA(model, LVM_GETIMAGELIST, LVSIL_SMALL, 0));
    for (int c = 0; c < Columns(model); ++c) {
        char text[64] = {};
        LVCOLUMNA column = {};
        column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
        column.pszText = text;
        column.cchTextMax = sizeof text;
        SendMessageA(model, LVM_GETCOLUMNA, c, reinterpret_cast<LPARAM>(&column));
        SendMessageA(list, LVM_INSERTCOLUMNA, c, reinterpret_cast<LPARAM>(&column));
    }
    return list;
}

// Without any care: every cell sent to a list that redraws all along.
void FillPlain(HWND list, const ListContent& content)
{
    SendMessageA(list, LVM_DELETEALLITEMS, 0, 0);
    for (size_t r = 0; r < content.rows.size(); ++r) {
        for (int c = 0; c < content.columns; ++c) {
            const Cell& cell = content.rows[r][c];
            LVITEMA item = {};
            item.mask = LVIF_TEXT | (content.images && c == 0 ? LVIF_IMAGE : 0);
            item.iItem = static_cast<int>(r);
            item.iSubItem = c;
            item.pszText = const_cast<char*>(cell.text.c_str());
            item.iImage = cell.image;
            SendMessageA(list, c ? LVM_SETITEMA : LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
        }
    }
}

// Milliseconds of one round, split at the point where the queue is run.
struct Split {
    double fill, paint;
    double Total() const { return fill + paint; }
};

template <typename F>
Split TimeRound(F fill)
{
    double start = Now();
    fill();
    double filled = Now();
    Settle();
    return {filled - start, Now() - filled};
}

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

struct Series {
    std::vector<double> fill, paint, total;
    void Add(Split s)
    {
        fill.push_back(s.fill);
        paint.push_back(s.paint);
        total.push_back(s.Total());
    }
    void Print(const char* name) const
    {
        std::printf("  %-34s median %6.2f ms (fill %6.2f + paint %6.2f)   min %6.2f\n", name,
                    Median(total), Median(fill), Median(paint),
                    *std::min_element(total.begin(), total.end()));
    }
};

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
    HWND window = CreateMainWindow(instance, &creationRan);
    if (!window) {
        std::fprintf(stderr, "the main window was not created\n");
        return 1;
    }
    // Side by side with the yardstick on the screen, neither covering the other.
    SetWindowPos(window, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    ShowWindow(window, SW_SHOWNORMAL);
    UpdateWindow(window);
    Settle();

    const HWND lists[] = {DriveList, InfoList, AttributeList};
    HWND yardstick = CreateWindowExA(0, "STATIC", "", WS_POPUP | WS_VISIBLE, MainWindowWidth + 20, 0,
                                     MainWindowWidth, 3 * 170, nullptr, nullptr, instance, nullptr);
    HWND plain[3];
    ListContent content[3];
    for (int i = 0; i < 3; ++i) {
        plain[i] = PlainCopy(yardstick, lists[i], i * 170);
        content[i] = ReadContent(lists[i]);
    }
    auto tick = [&] { SendMessageA(window, WM_TIMER, RefreshTimerId, 0); };
    auto fillPlain = [&] {
        for (int i = 0; i < 3; ++i)
            FillPlain(plain[i], content[i]);
    };

    // The user picks the last drive: the tick brings both pages back to the
    // first and clears the drive list's selection.
    auto pickLastDrive = [&] {
        int last = Rows(DriveList) - 1;
        LVITEMA state = {};
        state.stateMask = state.state = LVIS_SELECTED | LVIS_FOCUSED;
        SendMessageA(DriveList, LVM_SETITEMSTATE, last, reinterpret_cast<LPARAM>(&state));
        NMITEMACTIVATE click = {};
        click.hdr.hwndFrom = DriveList;
        click.hdr.idFrom = static_cast<UINT_PTR>(GetDlgCtrlID(DriveList));
        click.hdr.code = static_cast<UINT>(NM_DBLCLK);
        click.iItem = last;
        SendMessageA(window, WM_NOTIFY, click.hdr.idFrom, reinterpret_cast<LPARAM>(&click));
        Settle();
    };

    for (int i = 0; i < 10; ++i) {
        TimeRound(tick);
        TimeRound(fillPlain);
    }
    Series tickTimes, changedTimes, plainTimes;
    for (int i = 0; i < ticks; ++i) {
        tickTimes.Add(TimeRound(tick));
        plainTimes.Add(TimeRound(fillPlain));
        pickLastDrive();
        changedTimes.Add(TimeRound(tick));
    }

    std::printf("refresh tick with its paint, %d+%d+%d rows (%d alternating rounds, wine64):\n",
                Rows(DriveList), Rows(InfoList), Rows(AttributeList), ticks);
    tickTimes.Print("tick, nothing shown changes");
    changedTimes.Print("tick after a double-click on a row");
    plainTimes.Print("yardstick: plain visible lists");
    const double yard = Median(plainTimes.total);
    std::printf("  ratio of medians                   %.3f and %.3f   (goal: at most 0.1)\n",
                Median(tickTimes.total) / yard, Median(changedTimes.total) / yard);
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
