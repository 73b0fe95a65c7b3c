#include "views.h"

#include <commctrl.h>

#include <cstring>

#include "layout.h"
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

void FillInfoPage(const DriveRecord& drive)
{
    InfoRowText rows[InfoRowCount];
    MakeInfoRows(drive, rows);
    SendMessageA(InfoList, LVM_DELETEALLITEMS, 0, 0);
    for (int i = 0; i < InfoRowCount; ++i) {
        SetListCellImage(InfoList, i, 0, rows[i].label, rows[i].image);
        if (rows[i].value[0] != '\0')
            SetListCell(InfoList, i, 1, rows[i].value);
    }
}

void FillAttributePage(const DriveRecord& drive)
{
    SendMessageA(AttributeList, LVM_DELETEALLITEMS, 0, 0);
    for (int k = 0; k < SlotCount; ++k) {
        const AttributeSlot& slot = drive.attributes[k];
        if (slot.name[0] == '\0')
            continue;
        AttributeRowText row;
        MakeAttributeRow(slot, &row);
        SetListCell(AttributeList, k, 0, row.id);
        SetListCell(AttributeList, k, 1, row.name);
        SetListCell(AttributeList, k, 2, row.value);
        SetListCell(AttributeList, k, 3, row.threshold);
    }
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
    SendMessageA(DriveList, LVM_DELETEALLITEMS, 0, 0);
    int row = 0;
    for (int d = 0; d < DriveCount; ++d) {
        if (!DriveTable[d].present)
            continue;
        DriveRowText text = MakeDriveRow(d);
        SetListCellImage(DriveList, row, 0, text.model, ImageDrive);
        SetListCell(DriveList, row, 1, text.controller);
        SetListCell(DriveList, row, 2, text.smartEnabled);
        SetListCell(DriveList, row, 3, text.status);
        ++row;
    }
}

void ShowDriveDetails(int driveIndex)
{
    const DriveRecord& drive = DriveTable[driveIndex];
    FillInfoPage(drive);
    FillAttributePage(drive);
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

void ShowDriveAtRow(int row)
{
    int d = FindDriveAtRow(row);
    if (d != NoDrive)
        ShowDriveDetails(d);
}
