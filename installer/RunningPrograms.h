#pragma once
// The processes running one of a set of program files, found before those files are replaced or removed,
// and closed: their windows first, then ended after a short wait. Only processes whose image is one of
// the files count; a program of the same name elsewhere is left alone.
#include <windows.h>

#include <string>
#include <vector>

class RunningPrograms {
public:
    // Finds them (never this process): a toolhelp snapshot of every process, and the Restart Manager's
    // list of the files' users where it answers. `images` are full paths. The processes are held open
    // from here on, so an id cannot pass to another process meanwhile.
    explicit RunningPrograms(const std::vector<std::wstring>& images);
    ~RunningPrograms();
    RunningPrograms(const RunningPrograms&) = delete;
    RunningPrograms& operator=(const RunningPrograms&) = delete;

    bool isEmpty() const { return processes_.empty(); }
    // "fj.exe (1234), ..." for the log, GBK.
    std::string describe() const;

    // Asks each to close (WM_CLOSE to its top-level windows), waits up to closeWait for them, then ends
    // the ones left. True when none of them runs any more.
    bool close();

    static constexpr DWORD closeWait = 3000;     // ms
    static constexpr DWORD terminateWait = 5000;  // ms

    // The one call that ends a process: tests put one in place that refuses.
    using TerminateFn = BOOL(WINAPI*)(HANDLE process, UINT exitCode);
    static TerminateFn terminate;

private:
    struct Process {
        DWORD id;
        HANDLE handle;
        std::wstring image;
    };
    void addIfRunningOneOf(DWORD id, const std::vector<std::wstring>& images);
    void addRestartManagerUsers(const std::vector<std::wstring>& images);

    std::vector<Process> processes_;
};
