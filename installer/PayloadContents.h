#pragma once
// What a payload archive puts into the install folder, read from its central directory without
// unpacking anything: the checks made before anything is written need the files' names and sizes.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "Forward.h"

class PayloadContents {
public:
    struct File {
        std::wstring name;   // relative to the install folder, "\"-separated
        std::uint64_t size;  // uncompressed bytes
    };
    // The entries the unpacker writes as files, in archive order: folder entries and names it skips
    // are left out.
    std::vector<File> files;

    std::uint64_t unpackedSize() const;

    // Nothing when `archive` is no readable ZIP archive.
    static std::optional<PayloadContents> read(Bytes archive);
};
