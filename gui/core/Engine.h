#pragma once
// Process-wide engine start-up and the small Win32 utilities everything else uses.
#include <windows.h>

#include <optional>

#include "Gdip.h"

struct EngineState {
    ULONG_PTR gdiplusToken = 0;
    int windowsMajorVersion = 0;  // compared with 6 to tell Vista and later
    HCURSOR arrowCursor = nullptr;
    GpBitmap* builtinStrip = nullptr;  // 729 x 20 ARGB caption-button sprite

    // 12 px, regular. Looked up on a thread of its own while start-up goes on; the first use waits for it.
    GpFont* defaultFont() const;
};

// Written once by startEngine on the main thread; read-only after.
const EngineState& engine();

// The first font lookup of a process is start-up's slowest step (the font system fills its lists), so
// startEngine makes it on a thread. Every other font lookup waits for that one first.
void awaitFontLookup();

constexpr const char* engineWindowClass = "Vu_RadudiRE";

// GDI+, Windows version, default font, arrow cursor, built-in strip, window class "Vu_RadudiRE".
void startEngine();

// COLORREF 0x00BBGGRR and an alpha -> ARGB. No alpha, or 255, gives 254: "opaque" here is 0xFE.
ARGB makeColor(COLORREF rgb, std::optional<int> alpha = std::nullopt);

// Runs the messages already waiting in this thread's queue, stopping at WM_QUIT (left queued).
void processEvents();

// The given cursor, else LoadCursorW(NULL, id); the result also becomes the engine's arrow cursor.
HCURSOR loadCursor(HCURSOR cursor, LPCWSTR id);

bool registerWindowClass(const char* name, std::optional<UINT> style = std::nullopt,
                         std::optional<HICON> icon = std::nullopt, std::optional<HCURSOR> cursor = std::nullopt,
                         WNDPROC windowProc = nullptr);

LRESULT CALLBACK defaultWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

// Zeroed, page-granular data blocks.
void* allocZeroed(size_t size);
void freeBlock(void* block);
