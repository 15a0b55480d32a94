// Redraw cost of the host's rendering on a window the size of the installer's: a hover change on one
// 200 x 50 control and one fade-in frame, each against a recomposition of the whole window. Prints
// ratios measured in this run (the absolute times depend on the machine) and counts, through the host's
// BitBlt seam, what the hover changes put on screen.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

#include "Engine.h"
#include "FlatControl.h"
#include "HostWindow.h"
#include "RedrawQueue.h"
#include "SystemDll.h"

namespace {
constexpr int windowWidth = 588, windowHeight = 438;
constexpr int rounds = 200;

// Presents counted through the host's BitBlt seam.
struct PresentCount {
    int all = 0;
    int wholeWindow = 0;
    long long largest = 0;
} presents;

BOOL WINAPI countedBlt(HDC target, int x, int y, int w, int h, HDC source, int sx, int sy, DWORD rop)
{
    const long long area = static_cast<long long>(w) * h;
    ++presents.all;
    presents.wholeWindow += area >= static_cast<long long>(windowWidth) * windowHeight;
    presents.largest = std::max(presents.largest, area);
    return BitBlt(target, x, y, w, h, source, sx, sy, rop);
}

double now()
{
    LARGE_INTEGER counter, frequency;
    QueryPerformanceCounter(&counter);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// Messages run first: Wine puts a window's presented pixels on the display when the thread next looks
// for messages, and that belongs to whatever presented before, not to the step measured.
double timed(const std::function<void()>& step)
{
    processEvents();
    const double start = now();
    step();
    return now() - start;
}

// Medians: other processes on the machine only ever add to a round.
double median(std::vector<double> values)
{
    std::nth_element(values.begin(), values.begin() + values.size() / 2, values.end());
    return values[values.size() / 2];
}
}  // namespace

int main()
{
    restrictDllSearchPath();
    startEngine();
    HWND hwnd = CreateWindowExA(0, engineWindowClass, "bench", WS_POPUP, 80, 80, windowWidth, windowHeight, nullptr,
                                nullptr, GetModuleHandleW(nullptr), nullptr);
    ShowWindow(hwnd, SW_SHOWNOACTIVATE);
    HostWindow host;
    HostAttachOptions options;
    options.frameFlags = 0;
    options.backgroundColor = RGB(40, 120, 200);
    host.attach(hwnd, options);
    processEvents();

    // Roughly the installer's window: banner, texts, folder field, buttons, check box, progress bar.
    std::vector<std::unique_ptr<FlatControl>> controls;
    const RectF layout[] = {{6, 6, 576, 200},  {30, 220, 300, 20}, {30, 250, 420, 30}, {460, 250, 100, 30},
                            {30, 300, 20, 20}, {55, 300, 200, 20}, {30, 330, 528, 12}, {30, 350, 528, 20},
                            {30, 375, 528, 20}};
    for (const RectF& bounds : layout) {
        controls.push_back(std::make_unique<FlatControl>(0xC0FFFFFF));
        controls.back()->create(parentWindow(hwnd), bounds, KIND_PICTURE, true, false);
    }
    auto button = std::make_unique<FlatControl>(0xFF2080FF);
    button->create(parentWindow(hwnd), {194, 380, 200, 50}, KIND_IMAGE_BUTTON, true, true);
    // A picture that fades in to each new look over ten frames, stepped by hand.
    auto picture = std::make_unique<FlatControl>(0xFFE0A020);
    picture->create(parentWindow(hwnd), {360, 300, 200, 50}, KIND_PICTURE, true, false, {}, 0x7FFFFFF, 10, 0);
    host.redrawRect(host.windowRect(), true);
    processEvents();
    HostWindow::presentBlt = countedBlt;

    bool hovered = false;
    auto changeLook = [&] {
        hovered = !hovered;
        button->color = hovered ? 0xFF40A0FF : 0xFF2080FF;
        button->paint(false);
    };
    auto redrawButton = [&] { host.invalidate(button->currentBounds(), RedrawAppend); };
    // Each round measures everything once, so that a busy moment of the machine touches all alike;
    // the ratios are the medians of the rounds' own ratios.
    std::vector<double> wholes, dirties, hovers, fades, dirtyRatios, hoverRatios, fadeRatios;
    std::vector<double> dirtyComposes, dirtyPresents;
    PresentCount hoverPresents;
    for (int i = 0; i < rounds; ++i) {
        const double whole = timed([&] { host.redrawRect(host.windowRect(), true); });
        changeLook();
        const double dirty = timed(redrawButton);
        presents.largest = 0;
        const PresentCount before = presents;
        const double hover = timed([&] {
            changeLook();
            redrawButton();
        });
        hoverPresents.all += presents.all - before.all;
        hoverPresents.wholeWindow += presents.wholeWindow - before.wholeWindow;
        hoverPresents.largest = std::max(hoverPresents.largest, presents.largest);
        picture->color ^= 0x00FFFF00;
        picture->paint(true);  // a fade-in from the current look to the new one
        const double fade = timed([&] { picture->transitionTick(); });
        while (picture->transitionFrame() != picture->transitionFrames())
            picture->transitionTick();  // the other measures see no fade running
        dirtyComposes.push_back(timed([&] { host.redrawRect(button->currentBounds(), false); }));
        dirtyPresents.push_back(timed([&] { host.present(button->currentBounds()); }));
        wholes.push_back(whole);
        dirties.push_back(dirty);
        hovers.push_back(hover);
        fades.push_back(fade);
        dirtyRatios.push_back(dirty / whole);
        hoverRatios.push_back(hover / whole);
        fadeRatios.push_back(fade / whole);
    }
    const double whole = median(wholes), dirty = median(dirties), hover = median(hovers), fadeFrame = median(fades);

    const double dirtyRatio = median(dirtyRatios), hoverRatio = median(hoverRatios), fadeRatio = median(fadeRatios);
    const long long windowArea = static_cast<long long>(windowWidth) * windowHeight;
    std::printf("whole-window recomposition (588 x 438): %.3f ms\n", whole * 1e3);
    std::printf("dirty-rectangle redraw (200 x 50):      %.3f ms   ratio %.3f   goal < 0.100: %s\n", dirty * 1e3,
                dirtyRatio, dirtyRatio < 0.1 ? "met" : "NOT met");
    std::printf("  of it composing %.3f ms, presenting %.3f ms\n", median(dirtyComposes) * 1e3,
                median(dirtyPresents) * 1e3);
    std::printf("hover change with the control's repaint: %.3f ms   ratio %.3f\n", hover * 1e3, hoverRatio);
    std::printf("fade-in frame (200 x 50):               %.3f ms   ratio %.3f\n", fadeFrame * 1e3, fadeRatio);
    std::printf("%d hover changes: %d presents, %d of the whole window, largest %lld of %lld pixels: %s\n", rounds,
                hoverPresents.all, hoverPresents.wholeWindow, hoverPresents.largest, windowArea,
                hoverPresents.wholeWindow == 0 && hoverPresents.all == rounds ? "met" : "NOT met");

    HostWindow::presentBlt = ::BitBlt;
    controls.clear();
    button.reset();
    picture.reset();
    ShowWindow(hwnd, SW_HIDE);
    DestroyWindow(hwnd);
    return 0;
}
