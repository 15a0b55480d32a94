#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <unzip.h>

#include "Images.h"
#include "Resources.h"
#include "Text.h"

namespace {

std::string tempPath(const char* name)
{
    char folder[MAX_PATH];
    GetTempPathA(MAX_PATH, folder);
    return std::string(folder) + name;
}

std::vector<std::uint8_t> readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct ZipEntry {
    std::string name;
    unz_file_info64 info;
    bool dataIntact;
    std::vector<char> head;  // the first bytes of the entry's data
};

// The machine field of a PE file's header, 0 when `bytes` is no PE file.
unsigned peMachine(const std::vector<char>& bytes)
{
    if (bytes.size() < 0x40 || bytes[0] != 'M' || bytes[1] != 'Z')
        return 0;
    std::uint32_t pe = 0;
    std::memcpy(&pe, bytes.data() + 0x3C, 4);
    if (pe + 6 > bytes.size() || std::memcmp(bytes.data() + pe, "PE\0\0", 4) != 0)
        return 0;
    std::uint16_t machine = 0;
    std::memcpy(&machine, bytes.data() + pe + 4, 2);
    return machine;
}

std::vector<ZipEntry> readArchive(const std::string& path)
{
    std::vector<ZipEntry> entries;
    unzFile zip = unzOpen64(path.c_str());
    if (!zip)
        return entries;
    for (int status = unzGoToFirstFile(zip); status == UNZ_OK; status = unzGoToNextFile(zip)) {
        ZipEntry entry{};
        char name[260] = {};
        unzGetCurrentFileInfo64(zip, &entry.info, name, sizeof name, nullptr, 0, nullptr, 0);
        entry.name = name;
        std::vector<char> buffer(1 << 16);
        bool ok = unzOpenCurrentFile(zip) == UNZ_OK;
        int read = 0;
        ZPOS64_T total = 0;
        while (ok && (read = unzReadCurrentFile(zip, buffer.data(), static_cast<unsigned>(buffer.size()))) > 0) {
            if (entry.head.empty())
                entry.head.assign(buffer.begin(), buffer.begin() + std::min(read, 4096));
            total += static_cast<ZPOS64_T>(read);
        }
        ok = ok && read == 0 && total == entry.info.uncompressed_size;
        // unzCloseCurrentFile answers UNZ_CRCERROR when the inflated bytes do not match.
        ok = unzCloseCurrentFile(zip) == UNZ_OK && ok;
        entry.dataIntact = ok;
        entries.push_back(entry);
    }
    unz_global_info64 global{};
    unzGetGlobalInfo64(zip, &global);
    EXPECT_EQ(global.size_comment, 0u) << "no archive comment";
    unzClose(zip);
    return entries;
}

}  // namespace

TEST(StoredData, PayloadIsAStandardDeflateZipOfEightEntries)
{
    const Bytes archive = payloadArchive();
    ASSERT_GT(archive.size(), 1000000u);
    EXPECT_EQ(archive[0], 'P');
    EXPECT_EQ(archive[1], 'K');

    const std::string path = tempPath("payload-test.zip");
    {
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(archive.data()), static_cast<std::streamsize>(archive.size()));
    }
    const std::vector<std::uint8_t> written = readFile(path);
    EXPECT_TRUE(written.size() == archive.size() && std::equal(written.begin(), written.end(), archive.begin()));

    const std::vector<ZipEntry> entries = readArchive(path);
    ASSERT_EQ(entries.size(), 8u);
    EXPECT_EQ(entries[2].name, "fj.exe");
    EXPECT_EQ(entries[6].name, "uninst.exe");
    // The programs the build made, for the build's processor: the x86_64 build packs 64-bit ones.
    const unsigned machine = sizeof(void*) == 8 ? IMAGE_FILE_MACHINE_AMD64 : IMAGE_FILE_MACHINE_I386;
    EXPECT_EQ(peMachine(entries[2].head), machine) << "fj.exe";
    EXPECT_EQ(peMachine(entries[6].head), machine) << "uninst.exe";
    const ZPOS64_T productSizes[8] = {814488, 1837712, 0, 4966184, 160400, 1127056, 0, 1087632};
    for (size_t i = 0; i < entries.size(); ++i) {
        const ZipEntry& entry = entries[i];
        SCOPED_TRACE(entry.name);
        EXPECT_EQ(entry.info.compression_method, 8u) << "deflate";
        EXPECT_EQ(entry.info.flag & 1u, 0u) << "not encrypted";
        EXPECT_EQ(entry.info.external_fa, 0x20u) << "archive attribute";
        EXPECT_EQ(entry.name.find_first_of("/\\"), std::string::npos) << "no folder part";
        EXPECT_TRUE(entry.dataIntact) << "inflates with a correct CRC";
        if (productSizes[i]) {
            EXPECT_EQ(entry.info.uncompressed_size, productSizes[i]);
        }
        // The product's files compress to roughly half, as real binaries do.
        EXPECT_LT(entry.info.compressed_size, entry.info.uncompressed_size);
    }
    DeleteFileA(path.c_str());
}

TEST(StoredData, PicturesDecodeAtTheirSizes)
{
    struct Case {
        const char* name;
        unsigned width, height;
    };
    const Case cases[] = {
        {"close", 30, 30},        {"close-hover", 30, 30},     {"banner", 829, 230},
        {"button", 220, 60},      {"button-hover", 220, 60},   {"button-disabled", 220, 60},
        {"browse", 152, 39},      {"browse-hover", 152, 39},   {"ticked", 15, 15},
        {"ticked-hover", 15, 15}, {"unticked", 15, 15},        {"unticked-hover", 15, 15},
        {"check mark", 20, 20},
    };
    for (const Case& c : cases) {
        const Bytes bytes = picture(c.name);
        ASSERT_FALSE(bytes.empty()) << c.name;
        EXPECT_EQ(bytes[0], 0x89) << c.name << " keeps its PNG signature";
        MemoryImage image = imageFromMemory(bytes, false, false);
        ASSERT_TRUE(image) << c.name;
        EXPECT_EQ(imageWidth(image.image()), c.width) << c.name;
        EXPECT_EQ(imageHeight(image.image()), c.height) << c.name;
    }
    MemoryImage strip = imageFromMemory(picture("built-in strip"), true, false);
    EXPECT_EQ(imageWidth(strip.image()), 729u);
    EXPECT_TRUE(picture("no such picture").empty());
}

TEST(StoredData, EachDoubleSizePictureIsTwiceItsPartner)
{
    struct Case {
        const char* name;
        bool isStrip;  // stored without its PNG signature
    };
    const Case cases[] = {
        {"close", false},    {"close-hover", false},    {"ticked", false},     {"ticked-hover", false},
        {"unticked", false}, {"unticked-hover", false}, {"check mark", false}, {"built-in strip", true},
    };
    for (const Case& c : cases) {
        const std::string doubled = std::string(c.name) + "@2x";
        SCOPED_TRACE(doubled);
        const Bytes small = picture(c.name);
        const Bytes large = picture(doubled);
        ASSERT_FALSE(large.empty());
        EXPECT_EQ(large[0] == 0x89, !c.isStrip) << "signature stored like the partner's";
        MemoryImage one = imageFromMemory(small, c.isStrip, false);
        MemoryImage two = imageFromMemory(large, c.isStrip, false);
        ASSERT_TRUE(one && two);
        EXPECT_EQ(imageWidth(two.image()), 2 * imageWidth(one.image()));
        EXPECT_EQ(imageHeight(two.image()), 2 * imageHeight(one.image()));
        EXPECT_FALSE(small.size() == large.size() && std::equal(small.begin(), small.end(), large.begin()));
    }
}

TEST(StoredData, UntickedPictureIsTheFileByteForByteAndUnlikeTheOthers)
{
    const std::vector<std::uint8_t> file = readFile(FEIJING_RESOURCE_DIR "/unticked.png");
    const Bytes stored = picture("unticked");
    ASSERT_FALSE(file.empty());
    ASSERT_EQ(stored.size(), file.size());
    EXPECT_TRUE(std::equal(file.begin(), file.end(), stored.begin()));
    for (const char* other : {"ticked", "ticked-hover", "unticked-hover", "unticked@2x"}) {
        const Bytes bytes = picture(other);
        EXPECT_FALSE(bytes.size() == stored.size() && std::equal(bytes.begin(), bytes.end(), stored.begin()))
            << other;
    }
}

TEST(StoredData, AgreementIsFortyFourGbkLinesWithTitleAndPublisher)
{
    const Bytes bytes = agreementBytes();
    const std::string text(agreementText());
    ASSERT_EQ(text.size(), bytes.size()) << "NUL-terminated right after the text";
    EXPECT_GT(text.size(), 1500u);

    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t crlf; (crlf = text.find("\r\n", start)) != std::string::npos; start = crlf + 2)
        lines.push_back(text.substr(start, crlf - start));
    lines.push_back(text.substr(start));
    ASSERT_EQ(lines.size(), 44u);
    for (const std::string& line : lines) {
        EXPECT_EQ(line.find_first_of("\r\n"), std::string::npos) << "no lone CR or LF";
    }
    EXPECT_EQ(MultiByteToWideChar(936, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()), nullptr, 0) > 0,
              true)
        << "valid GBK";

    const std::string product = "\xB7\xC9\xBE\xA8\xCD\xF8\xD3\xCE\xBC\xD3\xCB\xD9\xC6\xF7";
    const std::string publisher = "\xB1\xB1\xC1\xEB\xCA\xFD\xC2\xEB\xBF\xC6\xBC\xBC\xD3\xD0\xCF\xDE\xB9\xAB\xCB\xBE";
    EXPECT_NE(lines[0].find(product), std::string::npos) << "the title names the product";
    EXPECT_NE(text.find(publisher), std::string::npos);
}
