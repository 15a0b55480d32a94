#pragma once
// What the installation leaves outside the payload's files: the uninstall entry under
// HKEY_LOCAL_MACHINE, the uninstall list, the program group and the four shortcuts. GBK paths.
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
    // Writes list.bytes() (no terminating NUL) to "Uninstall.dat" inside `installFolder`.
    static bool writeUninstallList(const std::string& installFolder, const UninstallList& list);

    struct Shortcut {
        std::string link;
        std::string target;
    };
    // The program-group shortcut, the uninstall shortcut, the Programs shortcut and the desktop
    // shortcut, in that order; the ones in an unknown folder are left out.
    static std::vector<Shortcut> shortcuts(const std::string& programsFolder, const std::string& desktopFolder,
                                           const std::string& installFolder, const std::string& productName);
    // A shell link with only its target set; COM must be initialised on the calling thread.
    static bool createShortcut(const Shortcut& shortcut);
    // Every shortcut, each failure ignored; initialises COM for the call where needed.
    static void createShortcuts(const std::vector<Shortcut>& shortcuts);
};
