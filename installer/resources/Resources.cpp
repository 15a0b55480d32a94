#include "Resources.h"

#include "EngineData.h"

#define STORED(name)                                  \
    extern "C" const std::uint8_t installer_##name[]; \
    extern "C" const std::uint32_t installer_##name##_size;
STORED(close)
STORED(close_hover)
STORED(banner)
STORED(button)
STORED(button_hover)
STORED(browse)
STORED(browse_hover)
STORED(button_disabled)
STORED(ticked_hover)
STORED(ticked)
STORED(unticked_hover)
STORED(unticked)
STORED(agreement)
STORED(payload)
#undef STORED

#define BYTES(name) Bytes(installer_##name, installer_##name##_size)

extern const std::uint8_t payloadSha256[32];

Bytes payloadArchive()
{
    return BYTES(payload);
}

Bytes payloadDigest()
{
    return Bytes(payloadSha256, sizeof payloadSha256);
}

Bytes picture(std::string_view name)
{
    struct Entry {
        std::string_view name;
        Bytes bytes;
    };
    const Entry pictures[] = {
        {"close", BYTES(close)},
        {"close-hover", BYTES(close_hover)},
        {"banner", BYTES(banner)},
        {"button", BYTES(button)},
        {"button-hover", BYTES(button_hover)},
        {"browse", BYTES(browse)},
        {"browse-hover", BYTES(browse_hover)},
        {"button-disabled", BYTES(button_disabled)},
        {"ticked-hover", BYTES(ticked_hover)},
        {"ticked", BYTES(ticked)},
        {"unticked-hover", BYTES(unticked_hover)},
        {"unticked", BYTES(unticked)},
        {"built-in strip", builtinStripData()},
        {"check mark", checkMarkPicture()},
    };
    for (const Entry& entry : pictures)
        if (entry.name == name)
            return entry.bytes;
    return {};
}

const char* agreementText()
{
    return reinterpret_cast<const char*>(installer_agreement);
}

Bytes agreementBytes()
{
    return BYTES(agreement);
}
