// Start-up and install benchmarks of FeijingSetup.exe, watched from outside through the screen.
//   bench_install frame [runs]  time from CreateProcess to the first complete frame, the installer against
//                               bench_install_window.exe (a bare GDI+ window), alternating; medians, ratio
//   bench_install install       one installation: ticks the agreement box, presses "极速安装" with real
//                               input and times until the finished state; prints the time and the
//                               installer's peak working set (bench_install.sh runs the unzip baseline)
// Both programs are looked for in this program's folder and in ..\installer. Absolute times depend on the
// machine; only the ratios of one run mean something.
#include <windows.h>
#include <psapi.h>
#include <shlobj.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int windowX = 50, windowY = 50;
constexpr DWORD frameGuardMs = 30000;
constexpr DWORD installGuardMs = 30000;
constexpr DWORD clearGuardMs = 5000;

// A screen pixel the finished frame shows, in window coordinates; tolerance per channel.
struct Probe {
    int x, y;
    COLORREF color;
    int tolerance;
};

const COLORREF topPanel = RGB(44, 56, 72), bottomPanel = RGB(34, 44, 56);

// Both panels and, for the installer, the middle of the banner and the install button's face beside
// its caption. The banner and button colours come from their pictures scaled by GDI+, hence the tolerance.
const std::vector<Probe> baselineFrame = {{300, 20, topPanel, 0}, {300, 428, bottomPanel, 0}};
std::vector<Probe> installerFrame = {
    {300, 20, topPanel, 0}, {300, 428, bottomPanel, 0}, {0, 0, 0, 0}, {0, 0, 0, 0}};

// Filled from one finished frame of the installer on first use: the banner centre and the button face.
constexpr POINT bannerPoint = {294, 148};
constexpr POINT installFacePoint = {200, 385};
constexpr POINT runFacePoint = {200, 361};  // the same spot of the run button, 24 pixels higher
constexpr POINT agreementBox = {29, 396};  // 16 x 16
constexpr POINT agreementCheckPoint = {agreementBox.x + 8, agreementBox.y + 8};
constexpr POINT installButtonPoint = {190 + 100, 360 + 25};
constexpr POINT neutralPoint = {560, 250};

const char* const productName = "\xB7\xC9\xBE\xA8\xCD\xF8\xD3\xCE\xBC\xD3\xCB\xD9\xC6\xF7";  // 飞鲸网游加速器
const char* const installFolder = "C:\\\xB7\xC9\xBE\xA8\xCD\xF8\xD3\xCE\xBC\xD3\xCB\xD9\xC6\xF7\\";
const char* const uninstallKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\"
                                 "\xB7\xC9\xBE\xA8\xCD\xF8\xD3\xCE\xBC\xD3\xCB\xD9\xC6\xF7";

double now()
{
    LARGE_INTEGER counter, frequency;
    QueryPerformanceCounter(&counter);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

std::string ownFolder()
{
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder(path, length);
    return folder.substr(0, folder.find_last_of('\\') + 1);
}

std::string findProgram(const char* name)
{
    for (const std::string& candidate : {ownFolder() + name, ownFolder() + "..\\installer\\" + name})
        if (GetFileAttributesA(candidate.c_str()) != INVALID_FILE_ATTRIBUTES)
            return candidate;
    return {};
}

bool isNear(COLORREF a, COLORREF b, int tolerance)
{
    return std::abs(GetRValue(a) - GetRValue(b)) <= tolerance && std::abs(GetGValue(a) - GetGValue(b)) <= tolerance &&
           std::abs(GetBValue(a) - GetBValue(b)) <= tolerance;
}

COLORREF screenPixel(HDC screen, POINT p)
{
    return GetPixel(screen, windowX + p.x, windowY + p.y);
}

bool showsFrame(HDC screen, const std::vector<Probe>& frame)
{
    for (const Probe& probe : frame)
        if (!isNear(screenPixel(screen, {probe.x, probe.y}), probe.color, probe.tolerance))
            return false;
    return true;
}

// Polls the screen about every millisecond until `done`; false when the guard runs out.
template <typename Done>
bool poll(Done done, DWORD guardMs)
{
    HDC screen = GetDC(nullptr);
    const double end = now() + guardMs / 1000.0;
    bool reached = false;
    while (!(reached = done(screen)) && now() < end)
        Sleep(1);
    ReleaseDC(nullptr, screen);
    return reached;
}

struct Started {
    PROCESS_INFORMATION info = {};
    bool ok = false;
};

Started start(const std::string& exe)
{
    Started process;
    std::string commandLine = "\"" + exe + "\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    process.ok = CreateProcessA(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                &startup, &process.info) != FALSE;
    return process;
}

void end(Started& process)
{
    if (!process.ok)
        return;
    TerminateProcess(process.info.hProcess, 0);
    WaitForSingleObject(process.info.hProcess, 10000);
    CloseHandle(process.info.hThread);
    CloseHandle(process.info.hProcess);
    process.ok = false;
}

// The screen must not still show the last run's window at the probes.
bool waitForClearScreen(const std::vector<Probe>& frame)
{
    return poll([&](HDC screen) { return !showsFrame(screen, frame); }, clearGuardMs);
}

double peakWorkingSetMb(HANDLE process)
{
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof counters;
    if (!GetProcessMemoryInfo(process, &counters, sizeof counters))
        return -1;
    return counters.PeakWorkingSetSize / (1024.0 * 1024.0);
}

struct FirstFrame {
    double seconds = -1;       // from CreateProcess until the probes show the frame; negative on failure
    double firstPanel = -1;    // until the top panel's probe alone showed its colour
    double peakMb = -1;        // peak working set when the frame was seen
};

FirstFrame timeFirstFrame(const std::string& exe, const std::vector<Probe>& frame)
{
    FirstFrame result;
    if (!waitForClearScreen(frame))
        return result;
    const double begin = now();
    Started process = start(exe);
    if (!process.ok)
        return result;
    const bool shown = poll(
        [&](HDC screen) {
            if (result.firstPanel < 0 && showsFrame(screen, {frame.front()}))
                result.firstPanel = now() - begin;
            return showsFrame(screen, frame);
        },
        frameGuardMs);
    const double elapsed = now() - begin;
    result.peakMb = peakWorkingSetMb(process.info.hProcess);
    end(process);
    if (shown)
        result.seconds = elapsed;
    return result;
}

// The colours of the banner and button probes, read from one finished frame of the installer (the
// panels' colours are known, so a complete frame is recognised once the banner differs from them).
bool calibrate(const std::string& setup)
{
    if (!waitForClearScreen(baselineFrame))
        return false;
    Started process = start(setup);
    bool ok = process.ok && poll(
                                [&](HDC screen) {
                                    const COLORREF banner = screenPixel(screen, bannerPoint);
                                    const COLORREF face = screenPixel(screen, installFacePoint);
                                    return showsFrame(screen, baselineFrame) && banner != topPanel &&
                                           face != bottomPanel;
                                },
                                frameGuardMs);
    if (ok) {
        Sleep(1000);  // whatever comes after the first frame (labels, fades) has settled by now
        HDC screen = GetDC(nullptr);
        installerFrame[2] = {bannerPoint.x, bannerPoint.y, screenPixel(screen, bannerPoint), 8};
        installerFrame[3] = {installFacePoint.x, installFacePoint.y, screenPixel(screen, installFacePoint), 8};
        ReleaseDC(nullptr, screen);
    }
    end(process);
    return ok;
}

// fj.exe's two panels, in the coordinates of the probes (relative to 50, 50): the product window is
// 420 x 260, centred on the work area.
std::vector<Probe> productFrame()
{
    RECT work = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    const int x = work.left + (work.right - work.left - 420) / 2 - windowX;
    const int y = work.top + (work.bottom - work.top - 260) / 2 - windowY;
    return {{x + 10, y + 40, topPanel, 0}, {x + 5, y + 230, bottomPanel, 0}};
}

int benchFrame(int runs)
{
    const std::string setup = findProgram("FeijingSetup.exe");
    const std::string baseline = findProgram("bench_install_window.exe");
    if (setup.empty() || baseline.empty()) {
        std::printf("bench_install: FeijingSetup.exe or bench_install_window.exe not found\n");
        return 1;
    }
    if (!calibrate(setup)) {
        std::printf("bench_install: the installer showed no complete frame\n");
        return 1;
    }
    std::vector<double> installer, bare, installerMb, bareMb, installerPanel;
    for (int i = 0; i < runs; ++i) {
        const FirstFrame a = timeFirstFrame(setup, installerFrame);
        const FirstFrame b = timeFirstFrame(baseline, baselineFrame);
        if (a.seconds < 0 || b.seconds < 0) {
            std::printf("bench_install: run %d saw no frame (installer %.1f, baseline %.1f)\n", i + 1, a.seconds,
                        b.seconds);
            return 1;
        }
        installer.push_back(a.seconds);
        bare.push_back(b.seconds);
        installerMb.push_back(a.peakMb);
        installerPanel.push_back(a.firstPanel);
        bareMb.push_back(b.peakMb);
        std::printf("run %d: installer %.1f ms (top panel at %.1f ms, peak %.1f MB), "
                    "GDI+ window %.1f ms (peak %.1f MB)\n",
                    i + 1, a.seconds * 1000, a.firstPanel * 1000, a.peakMb, b.seconds * 1000, b.peakMb);
    }
    const double mi = median(installer), mb = median(bare);
    std::printf("first frame, median of %d: installer %.1f ms, GDI+ window %.1f ms, ratio %.2f (goal <= 1.5)\n", runs,
                mi * 1000, mb * 1000, mi / mb);
    // Each pair ran back to back under the same load: the spread of their ratios shows how far one
    // run's ratio can be trusted on this machine.
    std::vector<double> ratios;
    for (size_t i = 0; i < installer.size(); ++i)
        ratios.push_back(installer[i] / bare[i]);
    std::sort(ratios.begin(), ratios.end());
    const size_t n = ratios.size();
    std::printf("first frame, ratio of each pair: median %.2f, middle half %.2f-%.2f, all %.2f-%.2f\n",
                median(ratios), ratios[n / 4], ratios[n - 1 - n / 4], ratios.front(),
                ratios.back());
    // Where the installer's time goes: until its window shows its top panel, and the rest of the frame.
    std::printf("installer top panel on screen, median: %.1f ms\n", median(installerPanel) * 1000);
    // The same engine with a handful of controls, as a yardstick of what the engine's start costs.
    const std::string product = findProgram("fj.exe");
    std::vector<double> productTimes;
    for (int i = 0; i < runs && !product.empty(); ++i) {
        const FirstFrame p = timeFirstFrame(product, productFrame());
        if (p.seconds >= 0)
            productTimes.push_back(p.seconds);
    }
    if (!productTimes.empty())
        std::printf("yardstick: fj.exe (same engine, 7 controls) first frame, median of %zu: %.1f ms\n",
                    productTimes.size(), median(productTimes) * 1000);
    // What the platform itself costs a GDI+ window, as a yardstick for the installer's peak below.
    std::printf("peak working set at the first frame, median: installer %.1f MB, GDI+ window %.1f MB\n",
                median(installerMb), median(bareMb));
    return 0;
}

// ---- install ----

void removeTree(const std::string& folder)
{
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::string name = found.cFileName;
            if (name == "." || name == "..")
                continue;
            const std::string path = folder + name;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                removeTree(path + "\\");
            } else {
                SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileA(path.c_str());
            }
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    RemoveDirectoryA(folder.c_str());
}

std::string specialFolder(int id)
{
    char path[MAX_PATH] = {};
    if (!SHGetSpecialFolderPathA(nullptr, path, id, FALSE))
        return {};
    std::string folder = path;
    return folder.empty() || folder.back() == '\\' ? folder : folder + "\\";
}

// What an installation leaves: the folder, the registry entry and the shortcuts.
void removeInstallation()
{
    removeTree(installFolder);
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, uninstallKey);
    const std::string programs = specialFolder(CSIDL_PROGRAMS);
    const std::string desktop = specialFolder(CSIDL_DESKTOPDIRECTORY);
    if (!programs.empty()) {
        removeTree(programs + productName + "\\");
        DeleteFileA((programs + productName + ".lnk").c_str());
    }
    if (!desktop.empty())
        DeleteFileA((desktop + productName + ".lnk").c_str());
}

void sendClick(POINT windowPoint)
{
    SetCursorPos(windowX + windowPoint.x, windowY + windowPoint.y);
    INPUT input[2] = {};
    input[0].type = input[1].type = INPUT_MOUSE;
    input[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    input[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    SendInput(2, input, sizeof input[0]);
}

void moveTo(POINT windowPoint)
{
    SetCursorPos(windowX + windowPoint.x, windowY + windowPoint.y);
    INPUT input = {};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = MOUSEEVENTF_MOVE;
    SendInput(1, &input, sizeof input);
}

std::vector<COLORREF> agreementBoxPixels()
{
    std::vector<COLORREF> pixels;
    HDC screen = GetDC(nullptr);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            pixels.push_back(GetPixel(screen, windowX + agreementBox.x + x, windowY + agreementBox.y + y));
    ReleaseDC(nullptr, screen);
    return pixels;
}

// Clicks the box until, with the pointer away again, it shows another picture than before; a click
// that only activates the window would leave it unticked and the install press would meet the
// agreement message. Returns the clicks it took, 0 when the box never ticked.
int tickAgreement()
{
    moveTo(neutralPoint);
    Sleep(300);
    const std::vector<COLORREF> unticked = agreementBoxPixels();
    for (int attempt = 1; attempt <= 3; ++attempt) {
        moveTo(agreementCheckPoint);
        Sleep(300);
        sendClick(agreementCheckPoint);
        Sleep(300);
        moveTo(neutralPoint);
        const DWORD start = GetTickCount();
        while (GetTickCount() - start < 2000) {
            Sleep(50);
            if (agreementBoxPixels() != unticked)
                return attempt;
        }
    }
    return 0;
}

int benchInstall()
{
    const std::string setup = findProgram("FeijingSetup.exe");
    if (setup.empty()) {
        std::printf("bench_install: FeijingSetup.exe not found\n");
        return 1;
    }
    removeInstallation();
    const std::string list = std::string(installFolder) + "Uninstall.dat";
    if (GetFileAttributesA(installFolder) != INVALID_FILE_ATTRIBUTES) {
        std::printf("bench_install: the last installation could not be removed\n");
        return 1;
    }
    if (!calibrate(setup) || !waitForClearScreen(installerFrame)) {
        std::printf("bench_install: the installer showed no complete frame\n");
        return 1;
    }
    Started process = start(setup);
    if (!process.ok || !poll([&](HDC screen) { return showsFrame(screen, installerFrame); }, frameGuardMs)) {
        end(process);
        std::printf("bench_install: the installer showed no complete frame\n");
        return 1;
    }
    Sleep(500);
    const int clicks = tickAgreement();
    if (!clicks) {
        end(process);
        removeInstallation();
        std::printf("bench_install: the agreement box did not tick\n");
        return 1;
    }
    moveTo(installButtonPoint);
    Sleep(300);

    const COLORREF face = installerFrame[3].color;
    const double begin = now();
    sendClick(installButtonPoint);
    // Off the buttons: the run button comes up where the pointer was and would show its hover face.
    moveTo(neutralPoint);
    const bool finished = poll(
        [&](HDC screen) {
            return isNear(screenPixel(screen, runFacePoint), face, 12) &&
                   GetFileAttributesA(list.c_str()) != INVALID_FILE_ATTRIBUTES;
        },
        installGuardMs);
    const double elapsed = now() - begin;

    const double peakMb = peakWorkingSetMb(process.info.hProcess);
    HDC screen = GetDC(nullptr);
    const COLORREF seen = screenPixel(screen, runFacePoint);
    ReleaseDC(nullptr, screen);
    const bool listWritten = GetFileAttributesA(list.c_str()) != INVALID_FILE_ATTRIBUTES;
    end(process);
    removeInstallation();
    if (!finished) {
        std::printf("bench_install: no finished state within %lu s (Uninstall.dat %s, run button face %06lX, "
                    "expected %06lX)\n",
                    installGuardMs / 1000, listWritten ? "written" : "missing", seen, face);
        return 1;
    }
    std::printf("install_ms=%.1f peak_mb=%.1f tick_clicks=%d\n", elapsed * 1000, peakMb, clicks);
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    timeBeginPeriod(1);
    setvbuf(stdout, nullptr, _IONBF, 0);
    const std::string mode = argc > 1 ? argv[1] : "frame";
    int result = 2;
    if (mode == "frame")
        result = benchFrame(argc > 2 ? std::max(1, std::atoi(argv[2])) : 5);
    else if (mode == "install")
        result = benchInstall();
    else
        std::printf("usage: bench_install frame [runs] | install\n");
    timeEndPeriod(1);
    return result;
}
