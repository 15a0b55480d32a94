#pragma once
// Helpers of the installer tests: temporary folders, files, test archives, dialogs, a probe program
// and window elements that keep their properties in fields.
#include <windows.h>

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "InstallerElements.h"

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

// The installer window's elements as plain fields, starting in the choosing state, with a hidden
// window of this thread. Counts calls made from other threads.
class FakeElements : public InstallerElements {
public:
    FakeElements();
    ~FakeElements() override { DestroyWindow(window_); }

    HWND window() override { return window_; }
    ControlHandle handle(InstallerElement element) override { return 0x1000 + 4 * static_cast<ControlHandle>(element); }
    bool visible(InstallerElement element, std::optional<bool> value) override;
    bool disabled(InstallerElement element, std::optional<bool> value) override;
    float top(InstallerElement element, std::optional<float> value) override;
    std::string text(InstallerElement element, std::optional<std::string> value) override;
    int progressPosition(std::optional<int> value) override;
    void setPictures(InstallerElement element, const PictureSet& pictures) override;
    std::vector<std::uint8_t> firstPicture(InstallerElement element) override;

    struct Properties {
        bool visible = true;
        bool disabled = false;
        float top = 0;
        std::string text;
        std::vector<std::vector<std::uint8_t>> pictures = std::vector<std::vector<std::uint8_t>>(4);
        bool operator==(const Properties&) const = default;
    };
    std::map<InstallerElement, Properties> elements;
    std::vector<int> positions;            // every position set, in order
    std::vector<std::string> statusTexts;  // every status caption set, in order
    int otherThreadCalls = 0;

private:
    Properties& at(InstallerElement element);
    HWND window_ = nullptr;
    DWORD thread_ = GetCurrentThreadId();
};

}  // namespace testing_support
