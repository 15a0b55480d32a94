#include "PayloadContents.h"

#include <windows.h>

#include <algorithm>

#include <unzip.h>

#include "PayloadUnpacker.h"
#include "Text.h"

namespace {

constexpr unsigned long utf8NameFlag = 1u << 11;

// minizip's file functions over bytes in memory; reads only.
struct MemoryStream {
    Bytes bytes;
    ZPOS64_T at = 0;
};

voidpf ZCALLBACK openMemory(voidpf, const void* bytes, int mode)
{
    if ((mode & ZLIB_FILEFUNC_MODE_READWRITEFILTER) != ZLIB_FILEFUNC_MODE_READ)
        return nullptr;
    return new MemoryStream{*static_cast<const Bytes*>(bytes)};
}

uLong ZCALLBACK readMemory(voidpf, voidpf stream, void* buffer, uLong size)
{
    auto* memory = static_cast<MemoryStream*>(stream);
    const ZPOS64_T left = memory->at < memory->bytes.size() ? memory->bytes.size() - memory->at : 0;
    const auto count = static_cast<uLong>(std::min<ZPOS64_T>(size, left));
    std::copy_n(memory->bytes.begin() + static_cast<std::ptrdiff_t>(memory->at), count, static_cast<std::uint8_t*>(buffer));
    memory->at += count;
    return count;
}

uLong ZCALLBACK refuseWrite(voidpf, voidpf, const void*, uLong)
{
    return 0;
}

ZPOS64_T ZCALLBACK tellMemory(voidpf, voidpf stream)
{
    return static_cast<MemoryStream*>(stream)->at;
}

long ZCALLBACK seekMemory(voidpf, voidpf stream, ZPOS64_T offset, int origin)
{
    auto* memory = static_cast<MemoryStream*>(stream);
    const ZPOS64_T base = origin == ZLIB_FILEFUNC_SEEK_CUR ? memory->at
                          : origin == ZLIB_FILEFUNC_SEEK_END ? memory->bytes.size()
                                                             : 0;
    if (base + offset > memory->bytes.size())
        return -1;
    memory->at = base + offset;
    return 0;
}

int ZCALLBACK closeMemory(voidpf, voidpf stream)
{
    delete static_cast<MemoryStream*>(stream);
    return 0;
}

int ZCALLBACK memoryError(voidpf, voidpf)
{
    return 0;
}

}  // namespace

std::uint64_t PayloadContents::unpackedSize() const
{
    std::uint64_t total = 0;
    for (const File& file : files)
        total += file.size;
    return total;
}

std::optional<PayloadContents> PayloadContents::read(Bytes archive)
{
    zlib_filefunc64_def io = {openMemory, readMemory, refuseWrite, tellMemory, seekMemory, closeMemory, memoryError,
                              nullptr};
    unzFile zip = unzOpen2_64(&archive, &io);
    if (!zip)
        return std::nullopt;
    PayloadContents contents;
    int status = unzGoToFirstFile(zip);
    for (; status == UNZ_OK; status = unzGoToNextFile(zip)) {
        unz_file_info64 info;
        char name[MAX_PATH * 2];
        if (unzGetCurrentFileInfo64(zip, &info, name, sizeof name, nullptr, 0, nullptr, 0) != UNZ_OK ||
            info.size_filename >= sizeof name)
            break;
        // Named as the unpacker names them.
        std::wstring wide = toWide(std::string_view(name, info.size_filename), (info.flag & utf8NameFlag) ? CP_UTF8 : CP_ACP);
        if (!PayloadUnpacker::isSafeEntryName(wide) || wide.back() == L'/' || wide.back() == L'\\')
            continue;
        std::replace(wide.begin(), wide.end(), L'/', L'\\');
        contents.files.push_back({std::move(wide), info.uncompressed_size});
    }
    unzClose(zip);
    if (status != UNZ_END_OF_LIST_OF_FILE)
        return std::nullopt;
    return contents;
}
