#pragma once
// "Uninstall.dat": what the uninstaller removes, as four GBK lines separated by CR LF, with no line
// break after the last one and no terminating NUL.
#include <optional>
#include <string>
#include <string_view>

class UninstallList {
public:
    std::string installFolder;    // as the installer's folder text, normally ending in "\"
    std::string programGroup;     // the Start-menu program group folder, without a trailing "\"
    std::string desktopShortcut;  // the desktop shortcut's full path
    std::string program;          // the product's program, a bare file name inside installFolder

    // The file's bytes.
    std::string bytes() const;

    // The four lines of `bytes`; nothing unless there are exactly four. A CR LF after the last line is
    // tolerated, so a list that passed through an editor still reads.
    static std::optional<UninstallList> parse(std::string_view bytes);

    bool operator==(const UninstallList&) const = default;
};
