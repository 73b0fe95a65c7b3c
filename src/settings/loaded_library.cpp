#include "loaded_library.h"

#include <cstring>

HMODULE LoadSystemLibrary(const char* library)
{
    const UINT previousMode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    HMODULE module = LoadLibraryA(library);
    SetErrorMode(previousMode);
    return module;
}

FARPROC LoadSystemProc(const char* library, const char* name)
{
    HMODULE module = GetModuleHandleA(library);
    if (!module)
        module = LoadSystemLibrary(library);
    return module ? GetProcAddress(module, name) : nullptr;
}

bool LoadSystemCalls(const char* library, const char* names, void* calls, size_t size)
{
    for (size_t at = 0; at < size; at += sizeof(FARPROC), names += std::strlen(names) + 1) {
        const FARPROC call = LoadSystemProc(library, names);
        if (!call)
            return false;
        std::memcpy(static_cast<char*>(calls) + at, &call, sizeof call);
    }
    return true;
}
