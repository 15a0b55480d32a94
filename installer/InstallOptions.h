#pragma once
// The installer's command line: "/S" (silent), "/D=<folder>" (last, taken whole), "/LOG=<file>", "/?".
// Read in UTF-16, so that GBK trail bytes never pass for separators or quotes.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class InstallOptions {
public:
    bool isSilent = false;
    bool showsHelp = false;
    // GBK, with a final "\" appended when missing; unset without "/D=".
    std::optional<std::string> folder;
    // Set when "/D=" gave characters GBK cannot hold: no folder the installer can name.
    bool hasUnrepresentableFolder = false;
    std::wstring logFile;
    std::vector<std::wstring> unknown;

    // `commandLine` as GetCommandLineW gives it, the program's name first. Switches are case-insensitive;
    // a quoted stretch of a switch keeps its spaces ("/LOG=\"C:\a b\x.log\""). "/D=" takes the rest of
    // the line, spaces included, its trailing spaces and one pair of quotes around it or its folder left
    // out.
    static InstallOptions parse(std::wstring_view commandLine);

    // A silent run stops with the bad-argument code on these; an interactive one ignores them.
    bool hasBadArgument() const { return !unknown.empty() || hasUnrepresentableFolder || (folder && folder->empty()); }

    // The options as "/?" shows them, GBK.
    static const char* helpText();
};
