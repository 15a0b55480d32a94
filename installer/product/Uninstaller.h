#pragma once
// The installed product's uninstaller. Started from the install folder it checks "Uninstall.dat",
// asks, then hands over to a copy of itself in a fresh temporary folder and exits, since a running
// program cannot delete its own file; the copy waits for it, removes the product and schedules its own
// file for deletion at the next restart. GBK paths throughout.
#include <windows.h>

#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "ProductFiles.h"
#include "UninstallList.h"

class InstanceLock;

class Uninstaller {
public:
    enum ExitCode : int {
        Removed = 0,     // (or handed over to the temporary copy)
        BadList = 1,     // "Uninstall.dat" missing, malformed or naming other places
        Cancelled = 2,
        Incomplete = 3,  // some file or folder could not be removed
        Busy = 4,        // an installer or another uninstaller is running
    };

    struct Options {
        bool silent = false;     // "/S": no questions, no messages
        std::string folder;      // "/D=<folder>" (the rest of the line): the copy's install folder
        HANDLE waitFor = nullptr;  // "/P=<handle>": the inherited handle of the process to outlive
        // "/R=<handle>": the inherited pipe to the silent first uninstaller, which waits for this copy's
        // exit code and holds the lock for it meanwhile.
        HANDLE reportTo = nullptr;
    };
    // Switches after the program name in `commandLine` (as GetCommandLineA gives it).
    static Options parseCommandLine(std::string_view commandLine);

    // A silent first uninstaller waits for its working copy and returns the copy's exit code; the
    // copy then holds `lock` until it has removed the first one's file.
    static int run(const Options& options, InstanceLock& lock);

    // "Uninstall.dat" in `folder`, parsed and valid for `folder`.
    static std::optional<UninstallList> readList(const std::string& folder);
    // Every line names only what the installer makes: line 1 is `folder` itself, line 2 a program
    // group called "飞鲸网游加速器" (or empty), line 3 a desktop shortcut "飞鲸网游加速器.lnk" (or empty),
    // line 4 a bare ".exe" name.
    static bool isValidFor(const UninstallList& list, const std::string& folder);

    // What the payload put into the install folder: paths below it, folders deepest first.
    struct Installed {
        std::span<const char* const> files = product::installedFiles;
        std::span<const char* const> folders = product::installedFolders;
    };

    // Ends every process whose image is `programPath`: asked to close first, then terminated.
    static void endProgram(const std::string& programPath);
    // Removes the installed files and the folders they leave empty, the shortcuts, the program group,
    // the registry entry and the install folder (when nothing else is left in it). False when a file or
    // shortcut stayed. Keep leaves the uninstaller's own file and the folder for removeUninstaller, once the
    // program running from that file has ended.
    enum class OwnFile { Remove, Keep };
    static bool removeProduct(const UninstallList& list, const Installed& installed,
                              OwnFile ownFile = OwnFile::Remove);
    static bool removeProduct(const UninstallList& list) { return removeProduct(list, Installed{}); }
    static bool removeUninstaller(const UninstallList& list);

    // A new folder with a random name inside the temporary folder, made with the protected descriptor
    // (never one that exists); "\"-terminated, empty on failure. `held`, when given, receives a handle
    // that keeps the folder from being renamed until it is closed.
    static std::string makeWorkingFolder(HANDLE* held = nullptr);

private:
    static int handOver(const std::string& folder, bool silent, InstanceLock& lock);
    static int awaitCopy(HANDLE copy, HANDLE outcome, InstanceLock& lock);
    static int removeAsCopy(const Options& options, InstanceLock& lock);
    static void message(const std::string& text, UINT flags);
};
