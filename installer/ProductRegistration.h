#pragma once
// What the installation leaves outside the payload's files: the uninstall entry under
// HKEY_LOCAL_MACHINE, the uninstall list, the program group and the four shortcuts. GBK paths.
#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "UninstallList.h"

class ProductRegistration {
public:
    struct RegistryValue {
        const char* name;
        std::string data;  // the text without its NUL, or a DWORD's four bytes
        DWORD type = REG_SZ;
    };
    // The uninstall entry's six REG_SZ values, in the order they are written.
    static std::vector<RegistryValue> uninstallValues(const std::string& installFolder);
    // Each value with its own create-or-open, set and close; a failure does not stop the next one.
    static void writeUninstallEntry(const std::string& installFolder);
    // What Windows' list of programs and inventory tools read besides, written after the six at
    // completion, in this order: InstallLocation, EstimatedSize (DWORD, kilobytes installed, rounded up),
    // NoModify and NoRepair (DWORD 1), QuietUninstallString (the uninstaller quoted, with "/S") and
    // InstallDate (yyyymmdd of `date`).
    static std::vector<RegistryValue> completionValues(const std::string& installFolder, std::uint64_t installedBytes,
                                                       const SYSTEMTIME& date);
    static void writeValues(const std::vector<RegistryValue>& values);

    // The uninstall entry as it was before this run wrote it: whether the key existed, and the earlier
    // data of each value this run writes.
    struct SavedEntry {
        struct Value {
            const char* name = nullptr;
            bool existed = false;
            DWORD type = REG_NONE;
            std::string data;
        };
        bool keyExisted = false;
        std::vector<Value> values;
    };
    static SavedEntry saveUninstallEntry();
    // Puts the entry back as `saved` shows it: removed when it did not exist, else each value this run
    // wrote back to its earlier data, or removed when it had none.
    static void restoreUninstallEntry(const SavedEntry& saved);

    // The Start-menu Programs and desktop folders (not created when missing), ending in "\"; empty when
    // the shell does not know them. The current user's, or all users' when this process runs as SYSTEM
    // (as deployment tools run installers): that account's own would be seen by nobody.
    static std::string programsFolder();
    static std::string desktopFolder();
    static bool isRunningAsSystem();
    // What programsFolder and desktopFolder ask; tests put their own in place.
    static bool (*runsAsSystem)();

    // Makes `folder` and all its parents (DbgHelp's MakeSureDirectoryPathExists).
    static bool makeFolderPath(const std::string& folder);

    // An unknown Programs or desktop folder leaves its line empty, never a path relative to the
    // current drive's root.
    static UninstallList uninstallList(const std::string& installFolder, const std::string& programsFolder,
                                       const std::string& desktopFolder);
    // Writes list.bytes() (no terminating NUL) to "Uninstall.dat" inside `installFolder`, never through a
    // link in its place; false with the last error set.
    static bool writeUninstallList(const std::string& installFolder, const UninstallList& list);

    struct Shortcut {
        std::string link;
        std::string target;
    };
    // The program-group shortcut, the uninstall shortcut, the Programs shortcut and the desktop
    // shortcut, in that order; the ones in an unknown folder are left out.
    static std::vector<Shortcut> shortcuts(const std::string& programsFolder, const std::string& desktopFolder,
                                           const std::string& installFolder, const std::string& productName);
    enum class LinkResult { Saved, NotMade, Refused };
    // A shell link with only its target set; COM must be initialised on the calling thread. NotMade when
    // the shell could not make it or its folder is missing; Refused (last error set) when its file could
    // not be written, such as through a link planted in its place.
    static LinkResult createShortcut(const Shortcut& shortcut);
    // Every shortcut, each one that is not made ignored; initialises COM for the call where needed.
    // False (last error set) when one was refused; the others are still made. `each` hears every result.
    using LinkReport = std::function<void(const Shortcut& shortcut, LinkResult result)>;
    static bool createShortcuts(const std::vector<Shortcut>& shortcuts, const LinkReport& each = nullptr);
};
