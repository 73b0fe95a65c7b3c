// Ostrivel: tells whether the hard disks of this PC are healthy.
#include <windows.h>

#include "main_window.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandTail, int showCommand)
{
    return RunOstrivel(instance, commandTail, showCommand);
}
