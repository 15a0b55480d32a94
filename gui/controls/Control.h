#pragma once
// The base of every owned-drawn element inside a host window: a rectangle in logical host client pixels,
// an ARGB bitmap of its device size that it paints itself into, tree links, event bindings and the fade-in.
#include <windows.h>

#include <cmath>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "EventRecords.h"
#include "Forward.h"
#include "Gdip.h"


// A parent argument: a control handle, a host window's HWND, or 0 (both pointer-sized).
using ParentHandle = std::uintptr_t;
inline ParentHandle parentWindow(HWND hwnd) { return static_cast<ParentHandle>(reinterpret_cast<UINT_PTR>(hwnd)); }

// Application handlers. A control with a parent control calls the first form, one without the second.
using ChildEventHandler = int (*)(ControlHandle parent, ControlHandle control, int code, WPARAM wParam,
                                  LPARAM lParam);
using EventHandler = int (*)(ControlHandle control, int code, WPARAM wParam, LPARAM lParam);

// A cursor argument: a handle, or a system cursor id (IDC_*) to load.
struct CursorSpec {
    UINT_PTR value = 0;
    bool isResourceId = false;
    static CursorSpec none() { return {}; }
    static CursorSpec system(LPCWSTR id) { return {reinterpret_cast<UINT_PTR>(id), true}; }
    static CursorSpec handle(HCURSOR cursor) { return {reinterpret_cast<UINT_PTR>(cursor), false}; }
};

// What begin paint fills in for the drawing and the paint hooks.
struct PaintContext {
    HWND hostWindow = nullptr;
    GpGraphics* graphics = nullptr;  // the control's own graphics
    RectF rect;                      // in the control's own coordinates
    bool withFadeIn = false;
    HostWindow* host = nullptr;
    GpBitmap* controlBitmap = nullptr;
};

class Control {
public:
    Control() = default;
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;
    virtual ~Control();
    // A deep copy of the owned fields; the copy is not created (no handle, not linked).
    virtual std::unique_ptr<Control> clone() const;

    // --- the common operations ---
    virtual ControlHandle create(ParentHandle parent, const RectF& bounds, int kind, bool visible,
                                 std::optional<bool> focusable = std::nullopt, CursorSpec cursor = {},
                                 int transitionInterval = 0, int transitionFrames = 0, int transitionParam = 0);
    virtual ControlHandle handle() const { return handle_; }
    virtual HWND hostWindow() const { return hostWindow_; }
    virtual ControlHandle parent() const { return parent_; }
    virtual void setParent(ParentHandle newParent);
    virtual void destroy();
    virtual RectF bounds(std::optional<RectF> value = std::nullopt);
    virtual bool visible(std::optional<bool> value = std::nullopt);
    virtual bool disabled(std::optional<bool> value = std::nullopt);
    virtual bool focusable(std::optional<bool> value = std::nullopt);
    virtual bool hasFocus();
    virtual int repaint();
    virtual void invalidate();
    virtual void move(std::optional<float> x, std::optional<float> y, std::optional<float> width,
                      std::optional<float> height, bool noRedraw = false, bool forceRedraw = false);
    virtual std::string tooltip(std::optional<std::string> text = std::nullopt, bool apply = false);
    virtual void applyTooltip(const std::string& text);
    virtual void bindEvent(int code, EventHandler handler);
    virtual void bindEvent(int code, ChildEventHandler handler);
    virtual Control* object() { return this; }
    virtual int alpha(std::optional<int> value = std::nullopt, bool redraw = false, bool defer = false);
    virtual int transitionFrames(std::optional<int> frames = std::nullopt, std::optional<int> interval = std::nullopt);
    virtual int transitionInterval(std::optional<int> value = std::nullopt);
    virtual int transitionFrame() const { return transitionFrame_; }
    virtual int transitionParam(std::optional<int> value = std::nullopt);
    virtual int sendEvent(int code, WPARAM wParam, LPARAM lParam);
    virtual void postEvent(int code, WPARAM wParam, LPARAM lParam);
    virtual HCURSOR cursor(std::optional<CursorSpec> value = std::nullopt);
    virtual std::string name(std::optional<std::string> text = std::nullopt);
    virtual float left(std::optional<float> value = std::nullopt);
    virtual float top(std::optional<float> value = std::nullopt);
    virtual float width(std::optional<float> value = std::nullopt);
    virtual float height(std::optional<float> value = std::nullopt);
    enum ZOrder : int { ZOrderTop = 1, ZOrderBottom = 2 };
    virtual void setZOrder(std::optional<int> where = std::nullopt, std::optional<bool> noRedraw = std::nullopt);
    virtual void unlink();
    virtual void suspendRedraw() { redrawEnabled_ = false; }
    virtual void resumeRedraw() { redrawEnabled_ = true; }
    virtual void transitionTick();
    virtual void onBeginPaint(PaintContext& context) {}
    virtual void onEndPaint(PaintContext& context) {}

    // --- the class's own event handling; -1 = not handled ---
    virtual int handleEvent(int code, WPARAM wParam, LPARAM lParam) { return -1; }

    // Event dispatch: the class's handleEvent (its answer is the answer), then the first matching binding.
    int dispatchEvent(int code, WPARAM wParam, LPARAM lParam);

    // Paint protocol. beginPaint answers false (draw nothing) without host window or host.
    bool beginPaint(PaintContext& context, const RectF* rect, bool withFadeIn);
    // Every pixel of `rect` in the control's bitmap made fully transparent.
    void clearToTransparent(const RectF& rect);
    void endPaint(PaintContext& context);

    // Read-only views used by the host and the rendering.
    int kind() const { return kind_; }
    void setKind(int kind) { kind_ = kind; }
    HostHandle hostHandle() const { return host_; }
    HostWindow* hostObject() const { return reinterpret_cast<HostWindow*>(static_cast<UINT_PTR>(host_)); }
    ControlHandle firstChild() const { return firstChild_; }
    ControlHandle lastChild() const { return lastChild_; }
    ControlHandle prevSibling() const { return prevSibling_; }
    ControlHandle nextSibling() const { return nextSibling_; }
    GpBitmap* bitmap() const { return bitmap_; }
    GpGraphics* graphics() const { return graphics_; }
    GpBitmap* transitionSnapshot() const { return transitionSnapshot_; }
    const RectF& currentBounds() const { return bounds_; }
    // The bounds in the host's device pixels (its display scale; edges rounded): where the bitmap goes.
    RectF deviceBounds() const;
    // The bitmap remade at the host's current display scale and repainted; nothing else changes.
    void rescale();
    // The host's DPI / 96; 1 without a host.
    float displayScale() const;
    const RectF& previousBounds() const { return previousBounds_; }
    bool isVisible() const { return visible_; }
    bool isDisabled() const { return disabled_; }
    bool isFocusable() const { return focusable_; }
    bool redrawEnabled() const { return redrawEnabled_; }
    int currentAlpha() const { return alpha_; }
    HCURSOR currentCursor() const { return cursor_; }
    const std::string& tooltipText() const { return tooltipText_; }

    static Control* fromHandle(ControlHandle handle)
    {
        return reinterpret_cast<Control*>(static_cast<UINT_PTR>(handle));
    }
    static void CALLBACK transitionTimerProc(HWND hwnd, UINT msg, UINT_PTR id, DWORD time);

protected:
    // Copies the plain settings (not the handle, links, bitmap or host) into `copy`.
    void copyBaseInto(Control& copy) const;

private:
    static int wholePixels(float value) { return static_cast<int>(std::lround(value)); }
    void makeBitmap();  // ControlBitmap.cpp, with the other bitmap operations
    // The bitmap's size in device pixels for the current bounds.
    SIZE bitmapSize() const;
    void releaseBitmap();
    void linkLast(ControlHandle* first, ControlHandle* last);
    void linkFirst(ControlHandle* first, ControlHandle* last);
    void shiftDescendants(float dx, float dy);
    // The first/last slots of the sibling list the control belongs to: its parent's, else its host's.
    bool ownerList(ControlHandle*& first, ControlHandle*& last) const;

    // A handler is called in the form it was bound with; the parent argument is 0 without a parent.
    struct Binding {
        int code;
        EventHandler handler;
        ChildEventHandler childHandler;
    };

    HWND hostWindow_ = nullptr;
    ControlHandle handle_ = 0;
    ControlHandle parent_ = 0;
    bool visible_ = false;
    bool disabled_ = false;
    bool focusable_ = false;
    bool redrawEnabled_ = false;
    HCURSOR cursor_ = nullptr;
    std::vector<Binding> eventBindings_;
    RectF bounds_;
    std::string tooltipText_;
    std::string name_;
    int kind_ = 0;
    ControlHandle firstChild_ = 0, lastChild_ = 0;
    ControlHandle prevSibling_ = 0, nextSibling_ = 0;
    int transitionFrame_ = 0;
    GpBitmap* bitmap_ = nullptr;
    GpGraphics* graphics_ = nullptr;
    HostHandle host_ = 0;
    int alpha_ = 255;
    GpBitmap* transitionSnapshot_ = nullptr;
    int transitionInterval_ = 0;
    RectF previousBounds_;
    int transitionFrames_ = 0;
    int transitionParam_ = 0;
    float paintScaleX_ = 1.0f;  // logical to bitmap pixels, as set on graphics_
    float paintScaleY_ = 1.0f;
};
