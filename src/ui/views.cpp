#include "views.h"

#include <commctrl.h>

#include <cstring>

#include "layout.h"
#include "nvme_text.h"
#include "view_text.h"

namespace {

void SendCell(HWND list, LVITEMA* item)
{
    // Column 0 inserts the row; the other columns fill cells of that row.
    UINT message = item->iSubItem == 0 ? LVM_INSERTITEMA : LVM_SETITEMA;
    SendMessageA(list, message, 0, reinterpret_cast<LPARAM>(item));
}

LVITEMA TextItem(int row, int column, const char* text)
{
    LVITEMA item = {};
    item.mask = LVIF_TEXT;
    item.iItem = row;
    item.iSubItem = column;
    item.pszText = const_cast<char*>(text);
    item.cchTextMax = static_cast<int>(std::strlen(text));
    return item;
}

enum { NoImage = -1 };

// A fill sends its cells through Cell, column 0 of a row first, and is run
// once to compare them with what the list shows, then, if need be, once more
// to replace the cells that differ in their rows, or to put every cell into
// the emptied list.
enum class FillStep { Compare, Replace, Put };

struct Rebuild {
    HWND list;
    const DriveRecord* drive;
    FillStep step;
    bool same;  // every cell compared so far is shown already
    int rows;   // rows compared so far
};

bool CellShows(HWND list, int row, int column, const char* text, int image)
{
    char shown[CellSize + 1] = {};
    LVITEMA item = TextItem(row, column, shown);
    item.mask = LVIF_TEXT | (image == NoImage ? 0 : LVIF_IMAGE);
    item.cchTextMax = sizeof shown;
    return SendMessageA(list, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item))
           && std::strcmp(shown, text) == 0 && (image == NoImage || item.iImage == image);
}

void ReplaceCell(HWND list, int row, int column, const char* text, int image)
{
    LVITEMA item = TextItem(row, column, text);
    if (image != NoImage) {
        item.mask |= LVIF_IMAGE;
        item.iImage = image;
    }
    SendMessageA(list, LVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&item));
}

// An empty cell beyond column 0 of a new row is left unset: it shows empty
// all the same.
void Cell(Rebuild* r, int row, int column, const char* text, int image = NoImage)
{
    const bool shown = r->step != FillStep::Put && CellShows(r->list, row, column, text, image);
    if (r->step == FillStep::Compare) {
        r->same = r->same && shown;
        r->rows = row + 1;
    } else if (r->step == FillStep::Replace) {
        if (!shown)
            ReplaceCell(r->list, row, column, text, image);
    } else if (image != NoImage) {
        SetListCellImage(r->list, row, column, text, image);
    } else if (column == 0 || text[0] != '\0') {
        SetListCell(r->list, row, column, text);
    }
}

void DriveRows(Rebuild* r)
{
    int row = 0;
    for (int d = 0; d < DriveCount; ++d) {
        if (!DriveTable[d].present)
            continue;
        DriveRowText text = MakeDriveRow(d);
        Cell(r, row, 0, text.model, ImageDrive);
        Cell(r, row, 1, text.controller);
        Cell(r, row, 2, text.smartEnabled);
        Cell(r, row, 3, text.status);
        ++row;
    }
}

// Row 0 is the drive's health; the drive's own rows follow it.
void InfoRows(Rebuild* r)
{
    InfoRowText rows[1 + InfoRowCount];
    MakeHealthRow(*r->drive, &rows[0]);
    MakeInfoRows(*r->drive, rows + 1);
    for (int i = 0; i < 1 + InfoRowCount; ++i) {
        Cell(r, i, 0, rows[i].label, rows[i].image);
        Cell(r, i, 1, rows[i].value);
    }
}

// An NVMe drive's health log, one field a row; it has no attribute slots.
void NvmeAttributeRows(Rebuild* r)
{
    const int count = r->drive->nvme.healthRead ? NvmeAttributeRowCount : 0;
    for (int k = 0; k < count; ++k) {
        AttributeRowText row;
        MakeNvmeAttributeRow(r->drive->nvme, k, &row);
        Cell(r, k, 0, row.id);
        Cell(r, k, 1, row.name);
        Cell(r, k, 2, row.value);
        Cell(r, k, 3, row.threshold);
    }
}

void AttributeRows(Rebuild* r)
{
    if (IsNvmeDrive(*r->drive)) {
        NvmeAttributeRows(r);
        return;
    }
    for (int k = 0; k < SlotCount; ++k) {
        const AttributeSlot& slot = r->drive->attributes[k];
        if (slot.name[0] == '\0')
            continue;
        AttributeRowText row;
        MakeAttributeRow(slot, &row);
        Cell(r, k, 0, row.id);
        Cell(r, k, 1, row.name);
        Cell(r, k, 2, row.value);
        Cell(r, k, 3, row.threshold);
        Cell(r, k, 4, row.raw);
    }
}

bool IsShown(HWND list)
{
    return (GetWindowLongA(list, GWL_STYLE) & WS_VISIBLE) != 0;
}

bool IsScrolledToTop(HWND list)
{
    return SendMessageA(list, LVM_GETTOPINDEX, 0, 0) == 0 && GetScrollPos(list, SB_HORZ) == 0;
}

// What a rebuild leaves besides the rows: no row chosen, none focused.
void DropChoice(HWND list)
{
    if (SendMessageA(list, LVM_GETSELECTEDCOUNT, 0, 0) == 0
        && SendMessageA(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED) == -1)
        return;
    LVITEMA none = {};
    none.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageA(list, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&none));
    SendMessageA(list, LVM_SETSELECTIONMARK, 0, -1);
}

void RedrawShownList(HWND list)
{
    SendMessageA(list, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list, nullptr, TRUE);
}

HWND HeaderOf(HWND list)
{
    return reinterpret_cast<HWND>(SendMessageA(list, LVM_GETHEADER, 0, 0));
}

// A shown column header with nothing of its own waiting to be painted.
bool HeaderIsPainted(HWND list)
{
    HWND header = HeaderOf(list);
    return header && IsWindowVisible(header) && !GetUpdateRect(header, nullptr, FALSE);
}

// The column header does not change with the rows: it keeps its pixels. Its
// rectangle leaves the list's update region too, or the list's background
// would be painted over it.
void KeepHeader(HWND list)
{
    HWND header = HeaderOf(list);
    RECT r;
    GetWindowRect(header, &r);
    MapWindowPoints(nullptr, list, reinterpret_cast<POINT*>(&r), 2);
    ValidateRect(list, &r);
    ValidateRect(header, nullptr);
}

// A list that keeps its number of rows, scrolled to the top, is brought to
// what a rebuild would leave without one: the cells that differ are replaced
// and the chosen row is dropped. Only the replaced cells are painted again,
// and a list that shows the rows already costs nothing.
//
// Otherwise the list is rebuilt. With its redraw on, a list view invalidates
// itself and resets its scroll bars at every row it gains; with its redraw
// off it does neither. But WM_SETREDRAW TRUE would make a hidden window
// visible, and WM_SETREDRAW FALSE may clear the style that tells whether the
// list is shown, so that is read first. A hidden page keeps its redraw off
// until ShowListPage shows it. Redraw turned back on does not repaint by
// itself: the list is invalidated then.
void RebuildList(HWND list, void (*fill)(Rebuild*), const DriveRecord* drive = nullptr)
{
    Rebuild r = {list, drive, FillStep::Compare, true, 0};
    fill(&r);
    if (r.rows == SendMessageA(list, LVM_GETITEMCOUNT, 0, 0) && IsScrolledToTop(list)) {
        DropChoice(list);
        r.step = FillStep::Replace;
        if (!r.same)
            fill(&r);
        return;
    }
    const bool shown = IsShown(list);
    const bool headerPainted = shown && HeaderIsPainted(list);
    SendMessageA(list, WM_SETREDRAW, FALSE, 0);
    SendMessageA(list, LVM_DELETEALLITEMS, 0, 0);
    r.step = FillStep::Put;
    fill(&r);
    if (!shown)
        return;
    RedrawShownList(list);
    if (headerPainted)
        KeepHeader(list);
}

}  // namespace

void SetListCell(HWND list, int row, int column, const char* text)
{
    if (!text)
        return;
    LVITEMA item = TextItem(row, column, text);
    SendCell(list, &item);
}

void SetListCellImage(HWND list, int row, int column, const char* text, int image)
{
    if (!text)
        return;
    LVITEMA item = TextItem(row, column, text);
    item.mask |= LVIF_IMAGE;
    item.iImage = image;
    SendCell(list, &item);
}

void FillDriveList()
{
    RebuildList(DriveList, DriveRows);
}

// An NVMe drive's values (the data units with their amount) take the room of
// the Raw column, which its rows leave empty; an ATA drive's get it back.
void FitValueColumn(const DriveRecord& r)
{
    enum { ValueColumn = 2, RawColumn = 4 };
    static int value, raw;  // as the layout made them
    if (!value) {
        value = static_cast<int>(SendMessageA(AttributeList, LVM_GETCOLUMNWIDTH, ValueColumn, 0));
        raw = static_cast<int>(SendMessageA(AttributeList, LVM_GETCOLUMNWIDTH, RawColumn, 0));
    }
    const int wanted = IsNvmeDrive(r) ? value + raw : value;
    if (SendMessageA(AttributeList, LVM_GETCOLUMNWIDTH, ValueColumn, 0) == wanted)
        return;
    SendMessageA(AttributeList, LVM_SETCOLUMNWIDTH, ValueColumn, wanted);
    SendMessageA(AttributeList, LVM_SETCOLUMNWIDTH, RawColumn, IsNvmeDrive(r) ? 0 : raw);
}

void ShowDriveDetails(int driveIndex)
{
    RebuildList(InfoList, InfoRows, &DriveTable[driveIndex]);
    FitValueColumn(DriveTable[driveIndex]);
    RebuildList(AttributeList, AttributeRows, &DriveTable[driveIndex]);
}

int GetSelectedRow(HWND list)
{
    if (SendMessageA(list, LVM_GETSELECTEDCOUNT, 0, 0) != 1)
        return -1;
    int count = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        if (SendMessageA(list, LVM_GETITEMSTATE, i, LVIS_FOCUSED))
            return i;
    }
    return -1;
}

void ShowListPage(HWND shown, HWND hidden)
{
    ShowWindow(shown, SW_SHOW);
    RedrawShownList(shown);
    ShowWindow(hidden, SW_HIDE);
}

void ShowDriveAtRow(int row)
{
    int d = FindDriveAtRow(row);
    if (d != NoDrive)
        ShowDriveDetails(d);
}
