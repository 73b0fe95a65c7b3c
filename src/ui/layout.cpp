#include "layout.h"

#include <commctrl.h>

#include <cstring>
#include <iterator>

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
const DWORD LabelStyle = WS_CHILD | WS_VISIBLE;
const DWORD PageButtonStyle = WS_CHILD | WS_VISIBLE | BS_PUSHLIKE | BS_RADIOBUTTON;

HWND TitleIconControl;

// A position or size: `halves` halves of the client width (rounded down)
// plus `pixels` at 96 DPI.
struct Span {
    int halves;
    int pixels;
};

// The child controls in creation order, as laid out at 96 DPI.
struct ControlSpec {
    const char* className;
    const char* text;
    DWORD style;
    Span x;
    int y;
    Span width;
    int height;
    int id;
    HFONT* font;
    HWND* handle;
};

const ControlSpec Controls[] = {
    {"STATIC", "Hard Disk Drives", LabelStyle, {1, -30}, 0, {0, 150}, 20, IDC_TITLE, &BoldFont, nullptr},
    {"STATIC", "", LabelStyle | SS_ICON, {1, -50}, 0, {0, 0}, 0, IDC_TITLE_ICON, nullptr, &TitleIconControl},
    {WC_LISTVIEWA, "", ListStyle | LVS_SHAREIMAGELISTS, {0, 0}, 20, {2, 0}, 90, IDC_DRIVE_LIST, nullptr,
     &DriveList},
    {WC_LISTVIEWA, "", ListStyle | LVS_NOCOLUMNHEADER | LVS_SHAREIMAGELISTS, {0, 0}, 140, {2, 0}, 160,
     IDC_INFO_LIST, nullptr, &InfoList},
    {WC_LISTVIEWA, "", ListStyle & ~WS_VISIBLE, {0, 0}, 140, {2, 0}, 160, IDC_ATTR_LIST, nullptr, &AttributeList},
    {"BUTTON", "Hard Disk Information", PageButtonStyle, {0, 0}, 115, {1, 0}, 20, CMD_INFO_PAGE, &NormalFont,
     nullptr},
    {"BUTTON", "S.M.A.R.T. Information", PageButtonStyle, {1, 0}, 115, {1, 0}, 20, CMD_SMART_PAGE, &NormalFont,
     nullptr},
    {"STATIC", "Monitor disabled", LabelStyle, {2, -85}, 0, {0, 150}, 20, IDC_MONITOR, &NormalFont, &MonitorLabel},
};

struct ListColumns {
    HWND* list;
    const Column* columns;
    size_t count;
};

const ListColumns Columns[] = {
    {&DriveList, DriveColumns, std::size(DriveColumns)},
    {&InfoList, InfoColumns, std::size(InfoColumns)},
    {&AttributeList, AttributeColumns, std::size(AttributeColumns)},
};

int SystemDpi;

int At(Span span, int w)
{
    return span.halves * w / 2 + ScaleToDpi(span.pixels);
}

HINSTANCE InstanceOf(HWND window)
{
    return reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(window, GWLP_HINSTANCE));
}

HWND CreateControl(HWND parent, const ControlSpec& row, int w)
{
    HWND control = CreateWindowExA(0, row.className, row.text, row.style, At(row.x, w), ScaleToDpi(row.y),
                                   At(row.width, w), ScaleToDpi(row.height), parent,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(row.id)), InstanceOf(parent),
                                   nullptr);
    if (row.font)
        SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(*row.font), 1);
    return control;
}

// An icon of the program's at the system's size for small icons.
HICON LoadSmallIcon(HWND window, int id, UINT flags)
{
    return static_cast<HICON>(LoadImageA(InstanceOf(window), MAKEINTRESOURCEA(id), IMAGE_ICON,
                                         GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), flags));
}

void CreateSmallImages(HWND window)
{
    SmallImages = ImageList_Create(GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON),
                                   ILC_COLOR, 0, 2);
    for (int id : ImageIcons) {
        HICON icon = LoadSmallIcon(window, id, 0);
        ImageList_ReplaceIcon(SmallImages, -1, icon);
        DestroyIcon(icon);
    }
    SendMessageA(DriveList, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(SmallImages));
    SendMessageA(InfoList, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(SmallImages));
}

void CreateStatusBar(HWND window)
{
    HWND bar = CreateStatusWindowA(WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, "", window, IDC_STATUS_BAR);
    int parts[2] = {ScaleToDpi(250), -1};
    SendMessageA(bar, SB_SETPARTS, 2, reinterpret_cast<LPARAM>(parts));
    SendMessageA(bar, SB_SETTEXTA, 0, reinterpret_cast<LPARAM>(StatusBarText));
}

// At 96 DPI the bitmap face of old; at any other the outline face that
// scales to every height.
HFONT CreateMainFont(BOOL bold)
{
    return CreateUiFont(SystemDpi == 96 ? "MS Sans Serif" : "Microsoft Sans Serif", ScaleToDpi(10), bold, FALSE,
                        FALSE);
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

int ReadSystemDpi()
{
    HDC screen = GetDC(nullptr);
    SystemDpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    if (SystemDpi <= 0)
        SystemDpi = 96;
    return SystemDpi;
}

int ScaleToDpi(int pixels)
{
    return SystemDpi && SystemDpi != 96 ? MulDiv(pixels, SystemDpi, 96) : pixels;
}

namespace {

// The scalable face for dialogs away from 96 DPI, and room for a copy of a
// dialog template that names it.
const WCHAR ScalableFace[] = L"Microsoft Sans Serif";
alignas(4) BYTE DialogCopy[8192];

const WORD* SkipTemplateText(const WORD* p)
{
    if (*p == 0xFFFF)
        return p + 2;  // an ordinal
    while (*p++) {
    }
    return p;
}

// The extended dialog template `id` with the scalable face in place of its
// own; null when the template is no such template or too long.
const DLGTEMPLATE* WithScalableFace(HINSTANCE instance, int id)
{
    HRSRC found = FindResourceA(instance, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(5));  // RT_DIALOG
    const auto* original = found ? static_cast<const BYTE*>(LockResource(LoadResource(instance, found))) : nullptr;
    if (!original)
        return nullptr;
    const auto* words = reinterpret_cast<const WORD*>(original);
    DWORD style;
    std::memcpy(&style, original + 12, sizeof style);
    if (words[1] != 0xFFFF || !(style & DS_SETFONT))
        return nullptr;
    // After the 26 fixed bytes: menu, class and title, then the point size,
    // weight, italic flag and character set before the face.
    const WORD* face = SkipTemplateText(SkipTemplateText(SkipTemplateText(words + 13))) + 3;
    const BYTE* items = original + ((reinterpret_cast<const BYTE*>(SkipTemplateText(face)) - original + 3) & ~3);
    const size_t head = reinterpret_cast<const BYTE*>(face) - original;
    const size_t itemBytes = SizeofResource(instance, found) - (items - original);
    const size_t itemsAt = (head + sizeof ScalableFace + 3) & ~size_t{3};  // items start on a DWORD
    if (itemsAt + itemBytes > sizeof DialogCopy)
        return nullptr;
    std::memset(DialogCopy, 0, sizeof DialogCopy);
    std::memcpy(DialogCopy, original, head);
    std::memcpy(DialogCopy + head, ScalableFace, sizeof ScalableFace);
    std::memcpy(DialogCopy + itemsAt, items, itemBytes);
    return reinterpret_cast<const DLGTEMPLATE*>(DialogCopy);
}

}  // namespace

INT_PTR RunDialog(HWND owner, int id, DLGPROC procedure)
{
    const HINSTANCE instance = InstanceOf(owner);
    const DLGTEMPLATE* scaled = SystemDpi && SystemDpi != 96 ? WithScalableFace(instance, id) : nullptr;
    if (scaled)
        return DialogBoxIndirectParamA(instance, scaled, owner, procedure, 0);
    return DialogBoxParamA(instance, MAKEINTRESOURCEA(id), owner, procedure, 0);
}

void CreateMainControls(HWND window)
{
    InitCommonControls();
    ReadSystemDpi();
    NormalFont = CreateMainFont(FALSE);
    BoldFont = CreateMainFont(TRUE);
    RECT client;
    GetClientRect(window, &client);
    const int w = client.right;
    for (const ControlSpec& row : Controls) {
        HWND control = CreateControl(window, row, w);
        if (row.handle)
            *row.handle = control;
    }
    TitleIcon = LoadSmallIcon(window, IDI_APP, LR_LOADMAP3DCOLORS);
    SendMessageA(TitleIconControl, STM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(TitleIcon));
    SendMessageA(AttributeList, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_GRIDLINES);
    for (const ListColumns& list : Columns) {
        for (size_t i = 0; i < list.count; ++i)
            AddListColumn(*list.list, list.columns[i].text, ScaleToDpi(list.columns[i].width), static_cast<int>(i),
                          list.columns[i].alignment);
    }
    CreateSmallImages(window);
    CreateStatusBar(window);
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
