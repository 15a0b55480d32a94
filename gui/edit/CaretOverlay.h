#pragma once
// The edit control's caret: a 1-pixel line drawn straight into the host's back buffer and put on
// screen, blinking by a counter whose parity says whether it is drawn. The system caret goes along
// at the same place only to place the input method's composition window; its shape is black, so it
// changes nothing where Wine shows it of its own accord.
#include <windows.h>

#include "Forward.h"
#include "Gdip.h"

class CaretOverlay {
public:
    static constexpr ARGB colour = 0xE6000000;

    CaretOverlay() = default;
    CaretOverlay(const CaretOverlay&) = delete;
    CaretOverlay& operator=(const CaretOverlay&) = delete;
    ~CaretOverlay();

    // The system caret of `window` (systemHeight pixels high) and the save-under canvas.
    void create(HWND window, HDC reference, int systemHeight, int saveHeight);
    void destroy();

    // `rect`: the caret in client pixels of the host window. visible and saveUnder: the system caret
    // moves there, the pixels under it are saved and the count restarts; the line is drawn when
    // visible, and otherwise the host redraws the column it covered.
    void show(HostWindow& host, const RectF& rect, bool visible, bool saveUnder);
    int blinkCounter() const { return blinkCounter_; }
    bool isDueVisible() const { return (blinkCounter_ & 1) != 0; }

private:
    void releaseCanvas();

    HDC saveDc_ = nullptr;
    HBITMAP saveBitmap_ = nullptr;
    HGDIOBJ saveOld_ = nullptr;
    HBITMAP systemShape_ = nullptr;
    bool hasSystemCaret_ = false;
    int blinkCounter_ = 0;
};
