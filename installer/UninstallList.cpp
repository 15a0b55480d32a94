#include "UninstallList.h"

#include <vector>

namespace {

constexpr std::string_view lineBreak = "\r\n";

}  // namespace

std::string UninstallList::bytes() const
{
    std::string text;
    text.reserve(installFolder.size() + programGroup.size() + desktopShortcut.size() + program.size() + 6);
    text += installFolder;
    text += lineBreak;
    text += programGroup;
    text += lineBreak;
    text += desktopShortcut;
    text += lineBreak;
    text += program;
    return text;
}

std::optional<UninstallList> UninstallList::parse(std::string_view bytes)
{
    if (bytes.size() >= lineBreak.size() && bytes.substr(bytes.size() - lineBreak.size()) == lineBreak)
        bytes.remove_suffix(lineBreak.size());
    // CR LF cannot occur inside a GBK character: both bytes are below 0x40, never a trail byte.
    std::vector<std::string_view> lines;
    for (;;) {
        const size_t end = bytes.find(lineBreak);
        lines.push_back(bytes.substr(0, end));
        if (end == std::string_view::npos)
            break;
        bytes.remove_prefix(end + lineBreak.size());
    }
    if (lines.size() != 4)
        return std::nullopt;
    for (std::string_view line : lines)
        if (line.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos)
            return std::nullopt;
    return UninstallList{std::string(lines[0]), std::string(lines[1]), std::string(lines[2]), std::string(lines[3])};
}
