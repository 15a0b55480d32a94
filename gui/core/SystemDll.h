#pragma once
// Functions of optional system DLLs bound by name at first use. Every such DLL is loaded from the
// system folder only, never from the program's folder or the current directory: an installer is
// usually started from a Downloads folder, where a planted DLL would otherwise be picked up.
#include <windows.h>

// Shell32 and ComCtl32 are bound here too: imported, they cost every start its loading (comctl32
// registers all its window classes), though only browsing, shortcuts and tooltips use them.
enum class SystemDll { GdiPlus, Dwm, Imm, DbgHelp, Shell32, ComCtl32, Count };

// Restricts the process's default DLL search path to the system folder (where Windows supports it).
void restrictDllSearchPath();

// The module of `dll`, loaded from the system folder on first use; null when it cannot be loaded.
HMODULE systemModule(SystemDll dll);

// GetProcAddress on systemModule(dll); null when missing.
FARPROC systemProc(SystemDll dll, const char* name);

// Loads `fileName` from the system folder: LOAD_LIBRARY_SEARCH_SYSTEM32 where the loader knows the
// flag, else the full path inside GetSystemDirectoryW.
HMODULE loadSystemLibrary(const wchar_t* fileName);

// One lookup per call site, cached in a function-local static.
#define BOUND_PROC(dll, type, name)                                                               \
    ([]() noexcept {                                                                              \
        static const auto proc = reinterpret_cast<type>(reinterpret_cast<void*>(systemProc(dll, name))); \
        return proc;                                                                              \
    }())
