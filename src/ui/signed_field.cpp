#include "signed_field.h"

#include <cstring>

namespace {

// Room for a field's text, one inserted text and the terminator.
enum { WorkSize = 2 * SignedFieldMaxLength + 2 };

WNDPROC OriginalProc(HWND edit)
{
    return reinterpret_cast<WNDPROC>(GetWindowLongPtrA(edit, GWLP_USERDATA));
}

// Whether replacing the field's selection with insert (length bytes) leaves
// an acceptable text.
bool AcceptsInsertion(HWND edit, const char* insert, size_t length)
{
    char text[WorkSize];
    const int held = GetWindowTextA(edit, text, sizeof text);
    DWORD start = 0;
    DWORD end = 0;
    SendMessageA(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    if (held > SignedFieldMaxLength || length > SignedFieldMaxLength || start > end ||
        end > static_cast<DWORD>(held))
        return false;
    char result[WorkSize];
    std::memcpy(result, text, start);
    std::memcpy(result + start, insert, length);
    std::memcpy(result + start + length, text + end, held - end + 1);
    return std::strlen(result) <= SignedFieldMaxLength && IsSignedNumberText(result);
}

// The clipboard's text up to its first line break, as a single-line edit
// control pastes it. False when there is no text or it is too long to accept.
bool ReadClipboardLine(HWND owner, char* line, size_t size)
{
    if (!OpenClipboard(owner))
        return false;
    bool ok = false;
    HANDLE data = GetClipboardData(CF_TEXT);
    const char* text = data ? static_cast<const char*>(GlobalLock(data)) : nullptr;
    if (text) {
        const size_t length = std::strcspn(text, "\r\n");
        ok = length < size;
        if (ok) {
            std::memcpy(line, text, length);
            line[length] = '\0';
        }
        GlobalUnlock(data);
    }
    CloseClipboard();
    return ok;
}

bool AcceptsPaste(HWND edit)
{
    char line[SignedFieldMaxLength + 1];
    return ReadClipboardLine(edit, line, sizeof line) && AcceptsInsertion(edit, line, std::strlen(line));
}

// Control characters (backspace, the clipboard shortcuts) keep their usual
// meaning; a pasted text arrives again as WM_PASTE.
bool AcceptsCharacter(HWND edit, WPARAM character)
{
    if (character < ' ')
        return true;
    const char insert = static_cast<char>(character);
    return AcceptsInsertion(edit, &insert, 1);
}

LRESULT CALLBACK SignedFieldProc(HWND edit, UINT message, WPARAM wParam, LPARAM lParam)
{
    const bool refused = (message == WM_CHAR && !AcceptsCharacter(edit, wParam)) ||
                         (message == WM_PASTE && !AcceptsPaste(edit));
    if (refused) {
        MessageBeep(MB_OK);
        return 0;
    }
    return CallWindowProcA(OriginalProc(edit), edit, message, wParam, lParam);
}

}  // namespace

bool IsSignedNumberText(const char* text)
{
    if (*text == '-')
        ++text;
    for (; *text; ++text) {
        if (*text < '0' || *text > '9')
            return false;
    }
    return true;
}

void AcceptSignedNumberOnly(HWND edit)
{
    if (OriginalProc(edit))
        return;  // already filtered
    // The original procedure is in place before the first message can come.
    SetWindowLongPtrA(edit, GWLP_USERDATA, GetWindowLongPtrA(edit, GWLP_WNDPROC));
    SetWindowLongPtrA(edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(SignedFieldProc));
}
