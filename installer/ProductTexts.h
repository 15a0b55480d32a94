#pragma once
// The product's fixed GBK texts, shared by the installer and the installed uninstaller.

namespace product {

inline constexpr const char* name = "\xB7\xC9\xBE\xA8\xCD\xF8\xD3\xCE\xBC\xD3\xCB\xD9\xC6\xF7";  // 飞鲸网游加速器
inline constexpr const char* publisher =
    "\xB1\xB1\xC1\xEB\xCA\xFD\xC2\xEB\xBF\xC6\xBC\xBC\xD3\xD0\xCF\xDE\xB9\xAB\xCB\xBE";  // 北岭数码科技有限公司
inline constexpr const char* version = "201909999";
inline constexpr const char* webAddress = "http://www.feijingjsq.com/";

inline constexpr const char* programFile = "fj.exe";
inline constexpr const char* uninstallerFile = "uninst.exe";
inline constexpr const char* payloadFile = "sj.zip";
inline constexpr const char* uninstallListFile = "Uninstall.dat";
inline constexpr const char* shortcutSuffix = ".lnk";
inline constexpr const char* uninstallShortcutPart = "\\\xD0\xB6\xD4\xD8";  // \卸载
inline constexpr const char* desktopShortcut =
    "\xB7\xC9\xBE\xA8\xCD\xF8\xD3\xCE\xBC\xD3\xCB\xD9\xC6\xF7.lnk";  // 飞鲸网游加速器.lnk

// The installer window's title: 飞鲸网游加速器 安装
inline constexpr const char* installerTitle =
    "\xB7\xC9\xBE\xA8\xCD\xF8\xD3\xCE\xBC\xD3\xCB\xD9\xC6\xF7 \xB0\xB2\xD7\xB0";
// The caption of the uninstaller's messages: 飞鲸网游加速器 卸载
inline constexpr const char* uninstallerCaption =
    "\xB7\xC9\xBE\xA8\xCD\xF8\xD3\xCE\xBC\xD3\xCB\xD9\xC6\xF7 \xD0\xB6\xD4\xD8";

// Under HKEY_LOCAL_MACHINE.
inline constexpr const char* uninstallKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\"
                                            "\xB7\xC9\xBE\xA8\xCD\xF8\xD3\xCE\xBC\xD3\xCB\xD9\xC6\xF7";

}  // namespace product
