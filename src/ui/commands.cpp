// The File menu's informing commands: About, Help and Web Site.
#include "commands.h"

#include <shellapi.h>

#include <cstdio>

#include "product.h"
#include "resource.h"

namespace {

enum { MainHelpContext = 1 };

constexpr char AboutCaption[] = "Ostrivel 1.0";
// Short lines: the message box would wrap long ones at odd places.
constexpr char AboutText[] =
    "Ostrivel v1.0\n"
    "\n"
    "Tells whether the hard disks of this PC\n"
    "are healthy. It reads each IDE/ATA drive's\n"
    "S.M.A.R.T. data at start and at every\n"
    "refresh, and compares every attribute with\n"
    "the drive's own threshold.\n"
    "\n"
    "Its monitor remembers each drive's values\n"
    "and can send an e-mail warning when one\n"
    "starts to fail.";

// The box's text buffer: the text must fit it whole, terminator included.
enum { AboutTextSize = 512 };
static_assert(sizeof AboutText <= AboutTextSize);

HINSTANCE InstanceOf(HWND window)
{
    return reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(window, GWLP_HINSTANCE));
}

}  // namespace

void ShowAbout(HWND mainWindow)
{
    char text[AboutTextSize];
    snprintf(text, sizeof text, "%s", AboutText);
    MSGBOXPARAMSA box = {};
    box.cbSize = sizeof box;
    box.hwndOwner = mainWindow;
    box.hInstance = InstanceOf(mainWindow);
    box.lpszText = text;
    box.lpszCaption = AboutCaption;
    box.dwStyle = MB_USERICON;  // one OK button and the program's own icon
    box.lpszIcon = MAKEINTRESOURCEA(IDI_APP);
    MessageBoxIndirectA(&box);
}

void ShowHelpContents(HWND mainWindow)
{
    WinHelpA(mainWindow, HelpFileName, HELP_CONTEXT, MainHelpContext);
}

void OpenHomePage(HWND mainWindow)
{
    ShellExecuteA(mainWindow, "open", HomePageAddress, "", "", SW_SHOWMAXIMIZED);
}
