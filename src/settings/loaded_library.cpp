#include "loaded_library.h"

FARPROC LoadSystemProc(const char* library, const char* name)
{
    HMODULE module = GetModuleHandleA(library);
    if (!module) {
        const UINT previousMode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
        module = LoadLibraryA(library);
        SetErrorMode(previousMode);
    }
    return module ? GetProcAddress(module, name) : nullptr;
}
