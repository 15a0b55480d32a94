#pragma once
// Helpers of the installer tests: temporary folders, files, test archives, dialogs, a probe program,
// window elements that keep their properties in fields and an install procedure on them.
#include <windows.h>

#include <atomic>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "InstallProcedure.h"
#include "SilentElements.h"

namespace testing_support {

// A fresh folder under the temporary folder (the stem may be GBK), removed with its contents.
class TempFolder {
public:
    explicit TempFolder(const std::string& stem = "fjtest");
    ~TempFolder() { removeTree(path_); }
    const std::string& path() const { return path_; }  // ends in "\"
    std::string operator/(const std::string& name) const { return path_ + name; }
    static void removeTree(const std::string& path);

private:
    std::string path_;
};

bool pathExists(const std::string& path);
std::optional<std::string> readFile(const std::string& path);
bool writeFile(const std::string& path, const std::string& bytes);

struct ZipSource {
    std::string name;  // stored bytes
    std::string data;
    bool utf8Name = false;
    bool wrongCrc = false;  // stored, not deflated, with a CRC that does not match
};
bool makeZip(const std::string& path, const std::vector<ZipSource>& entries);

// Pumps this thread's messages until `done`; false if the hang guard ran out first.
bool pumpUntil(const std::function<bool()>& done, DWORD guardMs = 60000);

// Answers the next dialog (class #32770) with `caption` (empty: any caption) of any process by pressing `button`, and keeps
// the texts of its static controls.
class DialogWatcher {
public:
    DialogWatcher(std::string caption, int button);
    ~DialogWatcher();
    bool waitAnswered(DWORD guardMs = 30000);
    bool answered() const { return answered_ != 0; }
    std::vector<std::string> texts;

private:
    static DWORD WINAPI watch(void* self);
    std::string caption_;
    int button_;
    HANDLE thread_ = nullptr;
    volatile LONG stop_ = 0, answered_ = 0;
};

// A copy of this test program started with FEIJING_PROBE set is a probe instead: "record:<file>"
// writes its own path and, on a second line, its working folder into <file> and exits; "linger" waits
// with a window and closes on WM_CLOSE; "stubborn" ignores WM_CLOSE; "hold:<file>" holds the file open
// without sharing until ended. A copy without the variable takes its request from a file beside it
// named like it with ".probe" appended.
constexpr const char* probeVariable = "FEIJING_PROBE";
PROCESS_INFORMATION startProbe(const std::string& exe, const std::string& mode);
std::string thisProgram();

std::vector<std::uint8_t> pictureBytes(const char* name);

// The silent run's elements, which keep their properties in fields, recording what the procedure sets
// and counting calls made from other threads.
class FakeElements : public SilentElements {
public:
    std::string text(InstallerElement element, std::optional<std::string> value) override;
    int progressPosition(std::optional<int> value) override;

    std::vector<int> positions;            // every position set, in order
    std::vector<std::string> statusTexts;  // every status caption set, in order
    int otherThreadCalls = 0;

protected:
    Properties& at(InstallerElement element) override;

private:
    DWORD thread_ = GetCurrentThreadId();
};

// The uninstall entry exists; one of its texts.
bool hasEntry();
std::optional<std::string> entryValue(const char* name);

// An install procedure on FakeElements whose exits are recorded instead of ending the process, with
// the program launcher's, the running programs' and the folder's seams put back afterwards.
struct Installation {
    explicit Installation(RunMode mode = RunMode::Interactive, InstallLog* log = nullptr);
    ~Installation();
    FakeElements elements;
    InstallProcedure procedure;

    void tick() { procedure.onAgreementCheckClicked(); }
    // Ticks the box, presses "极速安装" with `folder` and waits for the worker's outcome.
    void install(const std::string& folder);
    // Runs silently into `folder` until the procedure asks to end; the exit code, if it did.
    std::optional<UINT> installSilently(const std::string& folder);
    const std::string& status() { return elements.elements[InstallerElement::StatusText].text; }
    // No uninstall entry, program group or shortcut of the product.
    static void removeTraces();

    static std::vector<UINT> exitCodes;  // what the procedure asked to end the process with
    static std::atomic<int> exits;       // how often, readable from any thread
};

}  // namespace testing_support
