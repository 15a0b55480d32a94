#pragma once
// The files the installer unpacks into the install folder (the payload's entries, in archive order).
// The uninstaller removes exactly these, so files the user keeps in that folder survive it.
#include <array>

namespace product {

inline constexpr std::array<const char*, 8> installedFiles = {
    "fjcore.dll", "fjnet.dll", "fj.exe", "fjsvc.exe", "fjlsp.dll", "fjui.dll", "uninst.exe", "fjupdate.exe",
};

}  // namespace product
