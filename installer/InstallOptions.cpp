#include "InstallOptions.h"

#include <windows.h>

#include "InstallFolder.h"
#include "Text.h"

namespace {

bool isSpace(wchar_t c)
{
    return c == L' ' || c == L'\t';
}

bool startsWithSwitch(std::wstring_view text, std::wstring_view name)
{
    return text.size() >= name.size() &&
           CompareStringOrdinal(text.data(), static_cast<int>(name.size()), name.data(), static_cast<int>(name.size()),
                                TRUE) == CSTR_EQUAL;
}

// From `at` to the next space outside quotes, the quotes left out; `at` moves past it.
std::wstring nextWord(std::wstring_view line, size_t& at)
{
    std::wstring word;
    bool quoted = false;
    for (; at < line.size() && (quoted || !isSpace(line[at])); ++at) {
        if (line[at] == L'"')
            quoted = !quoted;
        else
            word += line[at];
    }
    return word;
}

}  // namespace

InstallOptions InstallOptions::parse(std::wstring_view commandLine)
{
    size_t at = 0;
    nextWord(commandLine, at);  // the program's name
    InstallOptions options;
    for (;;) {
        while (at < commandLine.size() && isSpace(commandLine[at]))
            ++at;
        if (at >= commandLine.size())
            break;
        std::wstring_view rest = commandLine.substr(at);
        // Quoted whole ("/D=C:\a b"), as programs that start others with an argument list quote it.
        const bool quoted = rest.size() > 1 && rest.front() == L'"';
        if (startsWithSwitch(quoted ? rest.substr(1) : rest, L"/D=")) {
            std::wstring_view folder = rest.substr(quoted ? 4 : 3);
            while (!folder.empty() && isSpace(folder.back()))
                folder.remove_suffix(1);
            if (quoted && !folder.empty() && folder.back() == L'"') {
                folder.remove_suffix(1);
                // A final "\" is doubled before the closing quote, as an argument list quotes it.
                if (folder.size() > 3 && folder.substr(folder.size() - 2) == L"\\\\")
                    folder.remove_suffix(1);
            } else if (folder.size() >= 2 && folder.front() == L'"' && folder.back() == L'"')
                folder = folder.substr(1, folder.size() - 2);
            const std::string text = toAnsi(folder);
            options.hasUnrepresentableFolder = toWide(text) != folder;
            options.folder = InstallFolder::withSeparator(text);
            break;
        }
        const std::wstring word = nextWord(commandLine, at);
        if (word.size() == 2 && startsWithSwitch(word, L"/S"))
            options.isSilent = true;
        else if (word == L"/?")
            options.showsHelp = true;
        else if (word.size() > 5 && startsWithSwitch(word, L"/LOG="))
            options.logFile = word.substr(5);
        else
            options.unknown.push_back(word);
    }
    return options;
}

const char* InstallOptions::helpText()
{
    // 飞鲸网游加速器 安装程序的命令行选项：
    // /S       静默安装：不显示窗口，视为同意使用协议，完成后不启动程序
    // /D=文件夹 安装位置，须为最后一个参数，可含空格
    // /LOG=文件 把每一步及其结果写入该文件（UTF-8）
    // /?       显示本说明
    // 静默安装的退出码：0 成功；1 参数或安装位置无效；2 安装包已损坏；3 磁盘空间不足；4 程序正在运行且无法关闭；
    // 5 其他写入失败；6 安装被中断
    return "\xB7\xC9\xBE\xA8\xCD\xF8\xD3\xCE\xBC\xD3\xCB\xD9\xC6\xF7 \xB0\xB2\xD7\xB0\xB3\xCC\xD0\xF2\xB5\xC4\xC3\xFC"
           "\xC1\xEE\xD0\xD0\xD1\xA1\xCF\xEE\xA3\xBA\n"
           "/S\t\xBE\xB2\xC4\xAC\xB0\xB2\xD7\xB0\xA3\xBA\xB2\xBB\xCF\xD4\xCA\xBE\xB4\xB0\xBF\xDA\xA3\xAC\xCA\xD3\xCE\xAA"
           "\xCD\xAC\xD2\xE2\xCA\xB9\xD3\xC3\xD0\xAD\xD2\xE9\xA3\xAC\xCD\xEA\xB3\xC9\xBA\xF3\xB2\xBB\xC6\xF4\xB6\xAF\xB3"
           "\xCC\xD0\xF2\n"
           "/D=\xCE\xC4\xBC\xFE\xBC\xD0\t\xB0\xB2\xD7\xB0\xCE\xBB\xD6\xC3\xA3\xAC\xD0\xEB\xCE\xAA\xD7\xEE\xBA\xF3\xD2\xBB"
           "\xB8\xF6\xB2\xCE\xCA\xFD\xA3\xAC\xBF\xC9\xBA\xAC\xBF\xD5\xB8\xF1\n"
           "/LOG=\xCE\xC4\xBC\xFE\t\xB0\xD1\xC3\xBF\xD2\xBB\xB2\xBD\xBC\xB0\xC6\xE4\xBD\xE1\xB9\xFB\xD0\xB4\xC8\xEB\xB8\xC3"
           "\xCE\xC4\xBC\xFE\xA3\xA8UTF-8\xA3\xA9\n"
           "/?\t\xCF\xD4\xCA\xBE\xB1\xBE\xCB\xB5\xC3\xF7\n"
           "\xBE\xB2\xC4\xAC\xB0\xB2\xD7\xB0\xB5\xC4\xCD\xCB\xB3\xF6\xC2\xEB\xA3\xBA"
           "0 \xB3\xC9\xB9\xA6\xA3\xBB"
           "1 \xB2\xCE\xCA\xFD\xBB\xF2\xB0\xB2\xD7\xB0\xCE\xBB\xD6\xC3\xCE\xDE\xD0\xA7\xA3\xBB"
           "2 \xB0\xB2\xD7\xB0\xB0\xFC\xD2\xD1\xCB\xF0\xBB\xB5\xA3\xBB"
           "3 \xB4\xC5\xC5\xCC\xBF\xD5\xBC\xE4\xB2\xBB\xD7\xE3\xA3\xBB"
           "4 \xB3\xCC\xD0\xF2\xD5\xFD\xD4\xDA\xD4\xCB\xD0\xD0\xC7\xD2\xCE\xDE\xB7\xA8\xB9\xD8\xB1\xD5\xA3\xBB"
           "5 \xC6\xE4\xCB\xFB\xD0\xB4\xC8\xEB\xCA\xA7\xB0\xDC\xA3\xBB"
           "6 \xB0\xB2\xD7\xB0\xB1\xBB\xD6\xD0\xB6\xCF";
}
