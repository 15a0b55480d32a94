#pragma once
// What the installation leaves outside the payload's files: the uninstall entry under
// HKEY_LOCAL_MACHINE, the uninstall list, the program group and the four shortcuts. GBK paths.
#include <windows.h>

#include <string>
#include <vector>

#include "UninstallList.h"

class ProductRegistration {
public:
    struct RegistryValue {
        const char* name;
        std::string data;
    };
    // The uninstall entry's six REG_SZ values, in the order they are written.
    static std::vector<RegistryValue> uninstallValues(const std::string& installFolder);
    // Each value with its own create-or-open, set and close; a failure does not stop the next one.
    static void writeUninstallEntry(const std::string& installFolder);

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

    // The current user's Start-menu Programs and desktop folders (not created when missing), ending in
    // "\"; empty when the shell does not know them.
    static std::string programsFolder();
    static std::string desktopFolder();

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
    // False (last error set) when one was refused; the others are still made.
    static bool createShortcuts(const std::vector<Shortcut>& shortcuts);
};
