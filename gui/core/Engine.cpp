#include "Engine.h"

#include "EngineData.h"
#include "Fonts.h"
#include "Images.h"
#include "MenuWindow.h"
#include "Text.h"

namespace {

EngineState state;

HANDLE fontLookup = nullptr;  // the thread making the default font; signalled when it is done
DWORD fontLookupThread = 0;
GpFont* lookedUpFont = nullptr;

DWORD WINAPI lookUpDefaultFont(void*)
{
    lookedUpFont = makeDefaultFont();
    return 0;
}

int osMajorVersionFromPeb()
{
    // The PEB's OSMajorVersion: PEB at fs:[0x30], field at +0xA4 on 32-bit Windows; gs:[0x60] and +0x118
    // on 64-bit. Unlike GetVersionEx this is not subject to the manifest's compatibility shims.
    const unsigned char* peb = nullptr;
#if defined(_WIN64)
    asm("movq %%gs:0x60, %0" : "=r"(peb));
    constexpr std::size_t majorVersionOffset = 0x118;
#else
    asm("movl %%fs:0x30, %0" : "=r"(peb));
    constexpr std::size_t majorVersionOffset = 0xA4;
#endif
    return static_cast<int>(*reinterpret_cast<const ULONG*>(peb + majorVersionOffset));
}

}  // namespace

const EngineState& engine()
{
    return state;
}

void awaitFontLookup()
{
    if (fontLookup && GetCurrentThreadId() != fontLookupThread)
        WaitForSingleObject(fontLookup, INFINITE);
}

GpFont* EngineState::defaultFont() const
{
    awaitFontLookup();
    return lookedUpFont;
}

void startEngine()
{
    Gdiplus::GdiplusStartupInput input;
    input.GdiplusVersion = 1;
    input.DebugEventCallback = nullptr;
    input.SuppressBackgroundThread = FALSE;
    input.SuppressExternalCodecs = FALSE;
    BOUND_PROC(SystemDll::GdiPlus, decltype(&Gdiplus::GdiplusStartup), "GdiplusStartup")(&state.gdiplusToken, &input, nullptr);
    state.windowsMajorVersion = osMajorVersionFromPeb();
    // Started suspended so that its id is known before it runs (its own lookups must not wait for it).
    fontLookup = CreateThread(nullptr, 0, &lookUpDefaultFont, nullptr, CREATE_SUSPENDED, &fontLookupThread);
    if (fontLookup)
        ResumeThread(fontLookup);
    else
        lookedUpFont = makeDefaultFont();
    loadCursor(nullptr, MAKEINTRESOURCEW(0x7F00));  // IDC_ARROW
    state.builtinStrip = bitmapFromMemory(builtinStripData(), true);
    Images::registerDoubleSize(builtinStripData(), builtinStripData2x());
    Images::registerDoubleSize(checkMarkPicture(), checkMarkPicture2x());
    registerWindowClass(engineWindowClass);
    MenuWindow::install();
}

ARGB makeColor(COLORREF rgb, std::optional<int> alpha)
{
    const ARGB red = GetRValue(rgb), green = GetGValue(rgb), blue = GetBValue(rgb);
    ARGB a = 254;
    if (alpha && *alpha != 255)
        a = static_cast<ARGB>(*alpha) & 0xFF;
    return (a << 24) | (red << 16) | (green << 8) | blue;
}

void processEvents()
{
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE) && msg.message != WM_QUIT) {
        if (!PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            break;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

HCURSOR loadCursor(HCURSOR cursor, LPCWSTR id)
{
    HCURSOR result = cursor ? cursor : LoadCursorW(nullptr, id);
    state.arrowCursor = result;
    return result;
}

bool registerWindowClass(const char* name, std::optional<UINT> style, std::optional<HICON> icon,
                         std::optional<HCURSOR> cursor, WNDPROC windowProc)
{
    HINSTANCE instance = GetModuleHandleW(nullptr);
    std::wstring className = toWide(name);
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof wc;
    wc.style = style.value_or(CS_DBLCLKS);
    wc.lpfnWndProc = windowProc ? windowProc : defaultWindowProc;
    wc.hInstance = instance;
    wc.hIcon = icon ? *icon : LoadIconW(instance, MAKEINTRESOURCEW(129));
    wc.hCursor = cursor ? *cursor : state.arrowCursor;
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = className.c_str();
    return RegisterClassExW(&wc) != 0;
}

LRESULT CALLBACK defaultWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

void* allocZeroed(size_t size)
{
    // Committed pages come zeroed. Only data lives here, so the pages are not executable.
    return VirtualAlloc(nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
}

void freeBlock(void* block)
{
    if (block)
        VirtualFree(block, 0, MEM_RELEASE);
}
