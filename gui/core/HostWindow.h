#pragma once
// Turns one top-level window into the surface of a tree of controls: attaches through a thunk, keeps
// the hover/press/focus slots, routes input and composes the controls' bitmaps into the window.
#include <windows.h>
#include <commctrl.h>

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Control.h"
#include "DisplayScale.h"
#include "Forward.h"
#include "Gdip.h"
#include "WindowThunk.h"

class CaptionButton;
class LabelControl;
class PictureControl;
class RedrawQueue;

// Bits of HostWindow::frameFlags.
enum FrameFlag : int {
    FRAME_ICON = 1,
    FRAME_CAPTION = 2,      // a double click on the caption toggles maximize (with FRAME_MAXIMIZE)
    FRAME_CLOSE = 4,        // 39 pixels wide
    FRAME_MAXIMIZE = 8,     // the window keeps WS_MAXIMIZEBOX
    FRAME_MINIMIZE = 16,    // the window keeps WS_MINIMIZEBOX
    FRAME_BUTTON_32 = 32,   // 32..256: further caption buttons, 28 pixels wide each
    FRAME_BUTTON_64 = 64,
    FRAME_BUTTON_128 = 128,
    FRAME_BUTTON_256 = 256,
    FRAME_ALWAYS = 512,     // always set by attach
    FRAME_STANDARD = 1024,  // attach argument only: icon, caption, close, plus the window's own boxes
};

// Application callbacks of a host; 0 = none. Results other than onMessage's are ignored.
using HostMessageHandler = LRESULT (*)(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);  // -1 = go on
using HostControlHandler = int (*)(HWND hwnd, ControlHandle control, WPARAM wParam, LPARAM lParam, int kind);
using HostResizeHandler = int (*)(HWND hwnd, int width, int height);
using HostPaintBackgroundHandler = int (*)(HWND hwnd, GpGraphics* graphics, int width, int height);

// The options of attach, in the order the engine takes them; unset = the default named beside it.
struct HostAttachOptions {
    Bytes background;                       // encoded picture; empty = none
    std::optional<COLORREF> backgroundColor;
    std::optional<int> frameFlags;          // unset: FRAME_STANDARD
    std::optional<int> windowAlpha;         // unset: -1 (not layered)
    std::optional<int> imageLayout;         // unset: 0
    std::optional<int> frameStyle;          // unset: 7
    std::optional<bool> presentOnAttach;    // unset: true
    std::optional<bool> resizable;          // unset: whether the window has WS_THICKFRAME
    std::optional<bool> draggable;          // unset: true
    std::optional<bool> outlineExtra;       // unset: true
    std::optional<bool> blur;               // unset: on for Windows 6.x
    std::array<int, 4> imageMargins{};      // left, top, right, bottom
    std::optional<HWND> skinSourceWindow;
    // unset: true, the window's rectangle is in logical pixels and is scaled to the window's DPI; false:
    // it is already in device pixels (a popup placed at the cursor).
    std::optional<bool> windowRectIsLogical;
    // unset: the window's own DPI; a popup takes its owner's.
    std::optional<int> dpi;
};

class HostWindow {
public:
    HostWindow();
    HostWindow(const HostWindow&) = delete;
    HostWindow& operator=(const HostWindow&) = delete;

    // The host attached to `hwnd` (its "Ex_Wnd_Control" property), or null.
    static HostWindow* fromWindow(HWND hwnd);
    static HostWindow* fromHandle(HostHandle handle)
    {
        return reinterpret_cast<HostWindow*>(static_cast<UINT_PTR>(handle));
    }
    HostHandle handle() const { return static_cast<HostHandle>(reinterpret_cast<UINT_PTR>(this)); }

    // --- the table of operations, in its fixed order ---
    virtual ~HostWindow();
    // Settings, callbacks and accelerators are copied; the copy is not attached to any window.
    virtual std::unique_ptr<HostWindow> clone() const;
    virtual LRESULT windowProc(UINT msg, WPARAM wParam, LPARAM lParam);
    virtual void invalidate(const RectF& rect, int mode);                              // HostWindowRender.cpp
    // nullopt = the control's own tooltipText; an empty text only removes the tool.
    virtual void setControlTooltip(ControlHandle control, std::optional<std::string> text = std::nullopt);
    virtual void fadeTick(HWND hwnd, UINT msg, UINT_PTR id, DWORD time);               // HostWindowAnimation.cpp
    virtual bool onSysChar(UINT msg, WPARAM wParam, LPARAM lParam);
    virtual bool onKeyDown(UINT msg, WPARAM wParam, LPARAM lParam);
    virtual void detach(HWND hwnd);
    virtual void onSize(HWND hwnd, WPARAM wParam);                                     // HostWindowRender.cpp
    virtual int setAccelerator(int key, ControlHandle control);
    virtual void onMouse(UINT msg, WPARAM wParam, LPARAM lParam);
    virtual bool onResizeBorder(UINT msg, LPARAM lParam);
    virtual bool attach(HWND hwnd, const HostAttachOptions& options = {});
    virtual int draggable(std::optional<int> value = std::nullopt);
    virtual int frameStyle(std::optional<int> value = std::nullopt);
    // mode 0 presents at once, 1 fades in, anything else neither; quiet = no EV_SNAPSHOT to the controls.
    virtual void setBackground(std::optional<Bytes> picture, std::optional<COLORREF> color, int mode,
                               bool quiet);                                            // HostWindowBackground.cpp
    virtual void layoutCaption();
    virtual void setShadowWidth(int value);
    virtual void setFocus(ControlHandle control, bool mark);
    virtual void present(std::optional<RectF> rect = std::nullopt);                    // HostWindowRender.cpp
    virtual void show(int animation = 0, std::optional<int> duration = std::nullopt);  // HostWindowAnimation.cpp
    virtual void setCloseAnimation(int value);
    virtual void setDefaultCursor(CursorSpec cursor);
    virtual void setOnPaintBackground(HostPaintBackgroundHandler callback);
    virtual void setOnMessage(HostMessageHandler callback);
    virtual void setOnResize(HostResizeHandler callback);
    virtual void setOnMouseDown(HostControlHandler callback);
    virtual void setOnMouseUp(HostControlHandler callback);
    virtual void setOnClick(HostControlHandler callback);
    virtual void setOnDoubleClick(HostControlHandler callback);
    virtual void setOnRightDown(HostControlHandler callback);
    virtual void setOnRightUp(HostControlHandler callback);
    virtual void setOnMouseLeave(HostControlHandler callback);
    virtual void setOnMouseEnter(HostControlHandler callback);
    virtual void setOnFocus(HostControlHandler callback);
    virtual void setOnBlur(HostControlHandler callback);

    // --- routing (HostWindowInput.cpp, HostWindowKeyboard.cpp) ---
    // The topmost visible, enabled control under (x, y), searching from `last` backwards and into children.
    static ControlHandle controlAt(ControlHandle last, float x, float y);
    // The control's event dispatch; control 0 answers 0.
    static int dispatch(ControlHandle control, int code, WPARAM wParam, LPARAM lParam);
    static int kindOf(ControlHandle control);
    // Whether `control` is a control of this host's tree; nothing is read through a value that is not.
    bool isInTree(ControlHandle control) const;
    // WM_EX_EVENT: the record is taken back and dispatched to `control`. A record this host did not hand
    // out is neither read nor freed; a control outside the tree answers 0.
    int dispatchEventRecord(ControlHandle control, LPARAM record);
    // Removes the control's accelerator entries: every one, or the one of `key`.
    void removeAccelerators(ControlHandle control, int key = 0);
    // A control appeared, disappeared, moved or was enabled or disabled: the control under a resting
    // mouse is decided again once the outermost dispatch has returned.
    void noteLayoutChange();
    // The redraw lock nests; each lock is released once.
    void lockRedraw() { ++redrawLock; }
    void unlockRedraw();
    // The window procedure the thunk jumps to: its first argument is the HostHandle, not the window.
    static LRESULT CALLBACK thunkWindowProc(HWND host, UINT msg, WPARAM wParam, LPARAM lParam);

    // --- Rendering (HostWindowRender.cpp, HostWindowBackground.cpp, HostWindowAnimation.cpp) ---
    // Redraws the rectangle into the back buffer at once, without putting it on screen (fade-in snapshots).
    void redrawIntoBackBuffer(const RectF& rect);
    // A new ARGB bitmap copied from the back buffer at `rect`; the caller disposes it.
    GpBitmap* cloneBackBufferArea(const RectF& rect);
    // Restores the background under `rect`, composes the controls over it, and optionally presents it.
    void redrawRect(const RectF& rect, bool presentIt);
    void drawList(ControlHandle first, const RectF& dirty);
    // GdipDrawImageRect, through an alpha colour matrix below 255.
    static void drawImage(GpGraphics* graphics, GpImage* image, const RectF& rect, int alpha);
    void presentRect(const RectF& rect);
    // WM_EX_PRESENT_LAYERED: UpdateLayeredWindow of the whole back buffer.
    void presentLayered();
    // Back buffer and background cache at `size`, and the shared scratch canvas grown to fit.
    void createCanvases();
    void releaseCanvases();
    // DWM blur behind the rounded rectangle; the empty rectangle switches it off.
    void setBlur(int left, int top, int right, int bottom, int corner);
    // False when the window went away while the animation let messages run.
    bool playShowAnimation(int kind, int duration);
    // The WM_CLOSE animation of kind closeAnimation; nothing for 0.
    void playCloseAnimation();
    static void CALLBACK fadeTimerProc(HWND hwnd, UINT msg, UINT_PTR id, DWORD time);
    bool isLayered() const { return windowAlpha != -1; }
    RectF windowRect() const;  // logical
    // --- Display scale (HostWindowScale.cpp) ---
    // A logical rectangle of the client area in device pixels of the back buffer (edges rounded).
    RectF deviceRect(const RectF& logical) const { return displayScale.toDevice(logical); }
    RectF deviceWindowRect() const;
    // WM_DPICHANGED: the new DPI (LOWORD of wParam) and the suggested window rectangle; 0 or absurd
    // values are ignored. Device canvases and every control's bitmap are rebuilt, their state kept.
    void onDpiChanged(WPARAM wParam, const RECT* suggested);
    // What EV_DRAW_TRANSITION hands a control in its lParam: 48 bytes on the target.
    struct TransitionRecord {
        HDC backDC;
        GpGraphics* backGraphics;
        HDC scratchDC;
        GpGraphics* scratchGraphics;
        GpBitmap* bitmap;
        GpBitmap* snapshot;
        RectF bounds;
        float clipX;
        float clipY;
    };
    // The process-wide canvas transitions draw through; {0, 0} until the first host is attached.
    static SIZE scratchCanvasSize();
    // Every present goes through these; tests wrap them to count presents.
    using PresentBltProc = BOOL(WINAPI*)(HDC, int, int, int, int, HDC, int, int, DWORD);
    using PresentLayeredProc = BOOL(WINAPI*)(HWND, HDC, POINT*, SIZE*, HDC, POINT*, COLORREF, BLENDFUNCTION*,
                                             DWORD);
    static PresentBltProc presentBlt;
    static PresentLayeredProc presentLayeredWindow;

private:
    // One walk over a control list and its children, each child list clipped to its parent.
    struct ComposePass {
        RectF dirty;           // redraw: only controls overlapping it are drawn, only their part inside it
        bool unclipped;        // redraw: no clip on the back buffer, parts may be blended by GDI directly
        bool wholeTree;        // background rebuild: every visible control's whole bitmap, no transitions
        bool notify;           // background rebuild: EV_SNAPSHOT to each control first
    };
    void composeRect(const RectF& rect);
    void composeList(ControlHandle first, const ComposePass& pass);
    void drawControl(Control& control, const ComposePass& pass);
    void drawImagePart(GpImage* image, const RectF& bounds, const RectF& dirty, int alpha, bool unclipped);
    void drawTransition(Control& control, const RectF& clip);
    // The control's alpha as composed: halved for a disabled control that answers -1 to EV_QUERY_DIM.
    int composedAlpha(Control& control);
    bool isAttachedTo(HWND window) const { return window && hwnd == window && previousWndProc; }
    void loadBackgroundPicture(std::optional<Bytes> picture, std::optional<COLORREF> color);
    void paintBackground();
    void clearBackBuffer();
    void drawFrameOutline();
    void drawShadow();
    void applyWindowShape();
    void releaseFadeCanvas();
    void finishFade();
    void layeredFrame(HDC canvas);
    static constexpr int clipCorner = 3;  // corner of the rounded clip region; a square one is kept as clear
    bool redrawDropped_ = false;  // a redraw was refused under the lock: recompose when it is released
    bool fadeRunning_ = false;
    RECT clipInterior_ = {};  // a rectangle lying wholly inside clipRegion

public:
    // --- end of Rendering ---

    // Fields, in their fixed order. The object's own handle is handle().
    HWND hwnd = nullptr;
    WNDPROC previousWndProc = nullptr;  // non-null exactly while attached
    WindowThunk thunk;
    ControlHandle focusedControl = 0;
    ControlHandle hoverControl = 0;
    ControlHandle pressedControl = 0;
    bool pressed = false;     // the mouse is captured for pressedControl
    int redrawLock = 0;  // held (non-zero): no redraw, no present, no mouse routing
    HDC windowDC = nullptr;
    HDC backDC = nullptr;
    HBITMAP backBitmap = nullptr;
    HGDIOBJ backOldBitmap = nullptr;
    GpGraphics* backGraphics = nullptr;
    HDC backgroundDC = nullptr;
    HWND skinSourceWindow = nullptr;  // a host window whose background picture and colour are borrowed
    HBITMAP backgroundBitmap = nullptr;
    HGDIOBJ backgroundOldBitmap = nullptr;
    GpImage* backgroundImage = nullptr;  // owned unless borrowed
    COLORREF backgroundColor = 0;       // 0x00BBGGRR, filled through makeColor
    ControlHandle firstControl = 0;
    ControlHandle lastControl = 0;
    int frameFlags = 0;
    HWND tooltipWindow = nullptr;
    int frameStyle_ = 0;  // 1 no outline and no blur, 0 square outline, other round outline and shape
    int windowAlpha = -1; // -1 ordinary window (BitBlt), 0..255 layered (UpdateLayeredWindow)
    int imageLayout = 0;
    int shadowWidth = 0;  // -1 counts as 0
    bool resizable = false;
    bool draggable_ = false;
    bool outlineExtra = false;
    int closeAnimation = 0;
    SIZE size = {};            // window size in logical pixels; GetWindowRect gives deviceSize
    SIZE deviceSize = {};      // window, back buffer and background cache in device pixels
    DisplayScale displayScale; // the window's DPI / 96
    GpRegion* clipRegion = nullptr;
    ControlHandle keyboardFocus = 0;  // the control showing the keyboard focus frame
    bool blurBehind = false;
    bool presentOnAttach = false;
    HCURSOR defaultCursor = nullptr;
    std::array<int, 4> imageMargins{};  // left, top, right, bottom of the picture's centre, in picture pixels
    HDC fadeDC = nullptr;
    HBITMAP fadeBitmap = nullptr;
    HGDIOBJ fadeOldBitmap = nullptr;
    int fadeAlpha = 0;
    int trackingLeave = 0;  // non-zero while a TME_LEAVE request is active
    struct Accelerator {
        int key;  // the low byte is the character compared
        ControlHandle control;
    };
    std::vector<Accelerator> accelerators;
    std::vector<std::unique_ptr<CaptionButton>> captionButtons;
    std::unique_ptr<PictureControl> iconControl;
    std::unique_ptr<LabelControl> captionLabel;
    std::unique_ptr<RedrawQueue> redrawQueue;
    TTTOOLINFOA toolInfo = {};
    HostPaintBackgroundHandler onPaintBackground = nullptr;
    HostMessageHandler onMessage = nullptr;
    HostControlHandler onMouseDown = nullptr;
    HostControlHandler onMouseUp = nullptr;
    HostControlHandler onClick = nullptr;
    HostControlHandler onDoubleClick = nullptr;
    HostControlHandler onRightDown = nullptr;
    HostControlHandler onRightUp = nullptr;
    HostControlHandler onMouseEnter = nullptr;
    HostControlHandler onMouseLeave = nullptr;
    HostControlHandler onFocus = nullptr;
    HostControlHandler onBlur = nullptr;
    HostResizeHandler onResize = nullptr;
    EventRecords eventRecords;  // records handed out for WM_EX_EVENT and not yet delivered

private:
    // Message handlers of windowProc (HostWindowInput.cpp, HostWindowKeyboard.cpp).
    LRESULT routeMessage(UINT msg, WPARAM wParam, LPARAM lParam);
    LRESULT handleEngineMessage(UINT msg, WPARAM wParam, LPARAM lParam);
    void handleActivate(WPARAM wParam, LPARAM lParam);
    void handleSetText(LPARAM text);
    void handlePaint();
    void handleClose();
    void handleSetCursor();
    void handleGetMinMaxInfo(MINMAXINFO* info);
    void handleStyleChanged();
    void handleTimer(WPARAM wParam, LPARAM lParam);
    void trackMouseLeave();
    void handleMouseLeave(WPARAM wParam, LPARAM lParam);
    // The hovered control (if any) is left: EV_MOUSE_LEAVE and onMouseLeave.
    void leaveHover(WPARAM wParam, LPARAM lParam);
    void forwardToFocused(UINT msg, WPARAM wParam, LPARAM lParam);
    // The control under the mouse, then its ancestors, then the focused control.
    void routeWheel(WPARAM wParam, LPARAM lParam);
    void postHoverCheck();
    void redecideHover();
    // The bounds of a control of this tree that `value` points at, or null.
    const RectF* boundsInTree(LPARAM value) const;
    LRESULT handleMoved(ControlHandle control, LPARAM redraw);
    // Steps of onMouse, onKeyDown and onResizeBorder.
    void routeCapturedMouse(UINT msg, WPARAM wParam, LPARAM lParam);
    void routeLeftPress(ControlHandle target, WPARAM wParam, LPARAM lParam);
    bool takesPress(ControlHandle control);
    void moveFocusByMouse(ControlHandle target, WPARAM wParam, LPARAM lParam);
    void startWindowMove();
    void toggleMaximize();
    void focusNextTopLevel();
    ControlHandle topLevelOf(ControlHandle control) const;
    void clickFocused();
    // A control still created under the handle it was known by (destroy zeroes its handle).
    static bool isAlive(ControlHandle control);
    static bool isShown(ControlHandle control);
    static bool isShownAndEnabled(ControlHandle control);
    // The hit-test code (HTLEFT..HTBOTTOMRIGHT) of the resize border at (x, y), or 0.
    static int resizeZoneAt(int x, int y, int width, int height);
    // Steps of attach (HostWindow.cpp).
    void applyFrameFlags(const HostAttachOptions& options);
    void createFrameElements();
    void createTooltipWindow();
    // The tool's rectangle for the control's bounds, in device pixels.
    void placeTool(const Control& target);
    // Every control's bitmap remade at the current scale and repainted (their state stays).
    void rescaleControls(ControlHandle first);
    // Back buffer and background cache at the device size, controls rescaled when the scale changed.
    void resizeCanvases(SIZE device);
    bool scaleChanged_ = false;  // the controls' bitmaps still have the old scale
    int device(int logical) const { return displayScale.toDevice(static_cast<float>(logical)); }

    int dispatchDepth_ = 0;          // windowProc calls on the stack
    bool hoverStale_ = false;        // the tree changed since the hover target was decided
    bool hoverCheckPosted_ = false;  // a WM_EX_HOVER_CHECK is on its way
    bool hoverCheckDue_ = false;     // it arrived: decide when the outermost windowProc returns
};
