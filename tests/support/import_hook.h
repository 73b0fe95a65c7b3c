// Replaces one entry of the test program's own import table, so a test sees
// (and can forward) the calls that the program's code makes to a system
// function. Calls made inside the system libraries are not affected.
#pragma once
#include <windows.h>

#include <cstring>

class ImportHook {
public:
    ImportHook(const char* dll, const char* function, void* replacement)
        : slot_(FindSlot(dll, function))
    {
        if (slot_) {
            original_ = *slot_;
            Write(replacement);
        }
    }
    ~ImportHook()
    {
        if (slot_)
            Write(original_);
    }
    ImportHook(const ImportHook&) = delete;
    ImportHook& operator=(const ImportHook&) = delete;

    bool installed() const { return slot_ != nullptr; }

    // True when the test program, and so the program's code linked into it,
    // imports anything at all from that DLL.
    static bool ImportsFrom(const char* dll) { return FindSlot(dll, nullptr) != nullptr; }

    template <typename F>
    F original() const
    {
        return reinterpret_cast<F>(original_);
    }

private:
    static void** FindSlot(const char* dll, const char* function)
    {
        auto* base = reinterpret_cast<BYTE*>(GetModuleHandleA(nullptr));
        auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
        auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
        const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
        auto* entry = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress);
        for (; entry->Name; ++entry) {
            if (_stricmp(reinterpret_cast<const char*>(base + entry->Name), dll) != 0)
                continue;
            if (!function)
                return reinterpret_cast<void**>(&entry->FirstThunk);
            auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + entry->OriginalFirstThunk);
            auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + entry->FirstThunk);
            for (; names->u1.AddressOfData; ++names, ++slots) {
                if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal))
                    continue;
                auto* byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
                if (std::strcmp(reinterpret_cast<const char*>(byName->Name), function) == 0)
                    return reinterpret_cast<void**>(&slots->u1.Function);
            }
        }
        return nullptr;
    }

    void Write(void* value)
    {
        DWORD old = 0;
        VirtualProtect(slot_, sizeof *slot_, PAGE_READWRITE, &old);
        *slot_ = value;
        VirtualProtect(slot_, sizeof *slot_, old, &old);
    }

    void** slot_;
    void* original_ = nullptr;
};
