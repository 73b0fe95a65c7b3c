#include "layout.h"

#include <commctrl.h>

#include <cstring>

#include "product.h"
#include "recall.h"
#include "resource.h"

HWND DriveList;
HWND InfoList;
HWND AttributeList;
HIMAGELIST SmallImages;
HWND MonitorLabel;

namespace {

HFONT NormalFont;
HFONT BoldFont;
HICON TitleIcon;

struct Column {
    const char* text;
    int width;
    int alignment;  // 0 left, 1 right
};

const Column DriveColumns[] = {
    {"Model", 160, LVCFMT_LEFT},
    {"Controller", 100, LVCFMT_LEFT},
    {"SMART Enabled", 100, LVCFMT_LEFT},
    {"Status", 50, LVCFMT_LEFT},
};

const Column InfoColumns[] = {
    {"Type", 190, LVCFMT_LEFT},
    {"Value", 180, LVCFMT_LEFT},
};

// Five columns and the vertical scroll bar within the list, without a
// horizontal one; the raw column holds 12 hexadecimal digits whole.
const Column AttributeColumns[] = {
    {"Id", 30, LVCFMT_LEFT},
    {"Attribute Name", 144, LVCFMT_LEFT},
    {"Value", 45, LVCFMT_RIGHT},
    {"Threshold", 68, LVCFMT_RIGHT},
    {"Raw", 96, LVCFMT_RIGHT},
};

const int ImageIcons[] = {IDI_DRIVE, IDI_INFO, IDI_BLANK, IDI_CLOCK, IDI_WARN_SIGN};

// Both lists that show SmallImages share it: only ReleaseMainControls frees it.
const DWORD ListStyle = WS_CHILD | WS_VISIBLE | WS_BORDER | LVS_NOSORTHEADER | LVS_SINGLESEL | LVS_REPORT;

struct Placement {
    int x, y, width, height;
};

HWND CreateControl(HWND parent, const char* className, const char* text, DWORD style,
                   Placement at, int id, HFONT font)
{
    HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(parent, GWLP_HINSTANCE));
    HWND control = CreateWindowExA(0, className, text, style, at.x, at.y, at.width, at.height,
                                   parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                   instance, nullptr);
    if (font)
        SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), 1);
    return control;
}

template <size_t N>
void AddColumns(HWND list, const Column (&columns)[N])
{
    for (size_t i = 0; i < N; ++i)
        AddListColumn(list, columns[i].text, columns[i].width, static_cast<int>(i), columns[i].alignment);
}

void CreateTitle(HWND window, int w)
{
    CreateControl(window, "STATIC", "Hard Disk Drives", WS_CHILD | WS_VISIBLE,
                  {w / 2 - 30, 0, 150, 20}, IDC_TITLE, BoldFont);
    HWND icon = CreateControl(window, "STATIC", "", WS_CHILD | WS_VISIBLE | SS_ICON,
                              {w / 2 - 50, 0, 0, 0}, IDC_TITLE_ICON, nullptr);
    HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(window, GWLP_HINSTANCE));
    TitleIcon = static_cast<HICON>(
        LoadImageA(instance, MAKEINTRESOURCEA(IDI_APP), IMAGE_ICON, 16, 16, LR_LOADMAP3DCOLORS));
    SendMessageA(icon, STM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(TitleIcon));
}

void CreateLists(HWND window, int w)
{
    DriveList = CreateControl(window, WC_LISTVIEWA, "", ListStyle | LVS_SHAREIMAGELISTS,
                              {0, 20, w, 90}, IDC_DRIVE_LIST, nullptr);
    AddColumns(DriveList, DriveColumns);
    InfoList = CreateControl(window, WC_LISTVIEWA, "",
                             ListStyle | LVS_NOCOLUMNHEADER | LVS_SHAREIMAGELISTS,
                             {0, 140, w, 160}, IDC_INFO_LIST, nullptr);
    AddColumns(InfoList, InfoColumns);
    AttributeList = CreateControl(window, WC_LISTVIEWA, "", ListStyle & ~WS_VISIBLE,
                                  {0, 140, w, 160}, IDC_ATTR_LIST, nullptr);
    SendMessageA(AttributeList, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_GRIDLINES);
    AddColumns(AttributeList, AttributeColumns);
}

void CreateSmallImages(HWND window)
{
    HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(window, GWLP_HINSTANCE));
    SmallImages = ImageList_Create(GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON),
                                   ILC_COLOR, 0, 2);
    for (int id : ImageIcons) {
        HICON icon = LoadIconA(instance, MAKEINTRESOURCEA(id));
        ImageList_ReplaceIcon(SmallImages, -1, icon);
        DestroyIcon(icon);
    }
    SendMessageA(DriveList, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(SmallImages));
    SendMessageA(InfoList, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(SmallImages));
}

void CreatePageButtons(HWND window, int w)
{
    const DWORD style = WS_CHILD | WS_VISIBLE | BS_PUSHLIKE | BS_RADIOBUTTON;
    CreateControl(window, "BUTTON", "Hard Disk Information", style, {0, 115, w / 2, 20},
                  CMD_INFO_PAGE, NormalFont);
    CreateControl(window, "BUTTON", "S.M.A.R.T. Information", style, {w / 2, 115, w / 2, 20},
                  CMD_SMART_PAGE, NormalFont);
}

void CreateStatusBar(HWND window)
{
    HWND bar = CreateStatusWindowA(WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, "", window, IDC_STATUS_BAR);
    int parts[2] = {250, -1};
    SendMessageA(bar, SB_SETPARTS, 2, reinterpret_cast<LPARAM>(parts));
    SendMessageA(bar, SB_SETTEXTA, 0, reinterpret_cast<LPARAM>(StatusBarText));
}

}  // namespace

HFONT CreateUiFont(const char* face, int height, BOOL bold, BOOL italic, BOOL underline)
{
    LOGFONTA font = {};
    font.lfHeight = -height;
    font.lfWeight = bold ? FW_BOLD : 0;
    font.lfItalic = static_cast<BYTE>(italic);
    font.lfUnderline = static_cast<BYTE>(underline);
    font.lfCharSet = ANSI_CHARSET;
    font.lfOutPrecision = OUT_TT_PRECIS;
    font.lfClipPrecision = CLIP_CHARACTER_PRECIS;
    font.lfQuality = DEFAULT_QUALITY;
    font.lfPitchAndFamily = DEFAULT_PITCH | FF_DONTCARE;
    lstrcpynA(font.lfFaceName, face, LF_FACESIZE);
    return CreateFontIndirectA(&font);
}

LRESULT AddListColumn(HWND list, const char* text, int width, int index, int alignment)
{
    LVCOLUMNA column = {};
    column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
    column.fmt = alignment;
    column.cx = width;
    column.pszText = const_cast<char*>(text);
    column.cchTextMax = static_cast<int>(std::strlen(text));
    column.iSubItem = index;
    return SendMessageA(list, LVM_INSERTCOLUMNA, index, reinterpret_cast<LPARAM>(&column));
}

void CreateMainControls(HWND window)
{
    InitCommonControls();
    NormalFont = CreateUiFont("MS Sans Serif", 10, FALSE, FALSE, FALSE);
    BoldFont = CreateUiFont("MS Sans Serif", 10, TRUE, FALSE, FALSE);
    RECT client;
    GetClientRect(window, &client);
    const int w = client.right;
    CreateTitle(window, w);
    CreateLists(window, w);
    CreateSmallImages(window);
    CreatePageButtons(window, w);
    CreateStatusBar(window);
    MonitorLabel = CreateControl(window, "STATIC", "Monitor disabled", WS_CHILD | WS_VISIBLE,
                                 {w - 85, 0, 150, 20}, IDC_MONITOR, NormalFont);
}

void ReleaseMainControls(HWND window)
{
    ImageList_Destroy(SmallImages);
    SmallImages = nullptr;
    DeleteObject(NormalFont);
    DeleteObject(BoldFont);
    NormalFont = BoldFont = nullptr;
    DestroyIcon(TitleIcon);
    TitleIcon = nullptr;
    SetRecall(window, 0);
}

HBRUSH MainStaticColor(HWND control, HDC dc)
{
    SetBkMode(dc, TRANSPARENT);
    if (GetWindowLongPtrA(control, GWLP_ID) != IDC_MONITOR)
        return nullptr;
    SetTextColor(dc, RGB(0, 0, 255));
    return GetSysColorBrush(COLOR_BTNFACE);
}
