#pragma once
// The install folder as the user sees it in the folder field: the preset, the folder browser and
// the helpers every step uses to name files inside it. All texts GBK.
#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "InstallFailure.h"

class InstallFolder {
public:
    // "C:\飞鲸网游加速器\" when "C:\Windows" exists, else empty.
    static std::string defaultFolder();

    // The folder field's new text for a path chosen in the folder browser: a drive root gets
    // "飞鲸网游加速器\" appended, any other folder "\飞鲸网游加速器\". Empty (a cancelled browser) stays empty.
    static std::string fromBrowseResult(std::string_view chosenPath);

    // Shows the shell's folder browser owned by `owner`, preselecting `startFolder`; the chosen path
    // as SHGetPathFromIDListA gives it, or empty when cancelled.
    static std::string browse(HWND owner, const std::string& startFolder);

    // A folder text the product may be installed into, decided on its UTF-16 form (GBK trail bytes
    // include "\" and "|"): well formed, on a local drive, no system place, and not an existing reparse
    // point or system folder. Anything else would install relative to the current folder, into a drive
    // root or a folder the uninstaller must not empty.
    static bool isAcceptable(const std::string& text);
    // "X:\name\...": a drive letter, then one or more plain names (no characters Windows forbids, no
    // device name, none ending in a dot or space), optionally a final "\"; short enough for the files
    // inside it. No UNC, relative, drive-relative or root path.
    static bool isWellFormed(std::wstring_view folder);
    // The Windows folder or any folder inside it, a Program Files folder itself, ProgramData itself, the
    // folder of the user profiles or a profile's root. Short names are taken as their long forms.
    static bool isSystemPlace(std::wstring_view folder);

    // Makes the folder ready for the payload before anything is written into it: a missing folder is
    // created (one level) with the protected descriptor; an existing one must be a folder, not a reparse
    // point; one directly at a drive's root that others may write is given the protected descriptor and
    // Administrators as owner. Any other existing folder is left as it is.
    static InstallFailure prepare(const std::string& folder);

    // The bytes this process may still write on the volume that holds `folder`, asked of its nearest
    // existing folder (it need not exist yet); nothing when the system does not say.
    static std::optional<std::uint64_t> freeSpace(const std::string& folder);
    // The one query of free space: tests put their own in place.
    using FreeSpaceFn = BOOL(WINAPI*)(LPCWSTR folder, PULARGE_INTEGER available, PULARGE_INTEGER total,
                                      PULARGE_INTEGER free);
    static FreeSpaceFn diskFreeSpace;

    // `folder` with a "\" appended when it does not end in one; empty stays empty.
    static std::string withSeparator(std::string_view folder);

    // True when the text ends in a "\" that is not the trail byte of a GBK character.
    static bool endsWithSeparator(std::string_view text);

    // A find-first-file search for exactly `path` succeeds.
    static bool exists(const std::string& path);

    static constexpr const char* browseTitle =  // 选择要安装 飞鲸网游加速器 的文件夹位置
        "\xD1\xA1\xD4\xF1\xD2\xAA\xB0\xB2\xD7\xB0 \xB7\xC9\xBE\xA8\xCD\xF8\xD3\xCE\xBC\xD3\xCB\xD9\xC6\xF7 "
        "\xB5\xC4\xCE\xC4\xBC\xFE\xBC\xD0\xCE\xBB\xD6\xC3";
    static constexpr const char* presetFolder =  // C:\飞鲸网游加速器\ (the default)
        "C:\\\xB7\xC9\xBE\xA8\xCD\xF8\xD3\xCE\xBC\xD3\xCB\xD9\xC6\xF7\\";
};
