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
STORED(close_2x)
STORED(close_hover_2x)
STORED(ticked_2x)
STORED(ticked_hover_2x)
STORED(unticked_2x)
STORED(unticked_hover_2x)
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
        {"close@2x", BYTES(close_2x)},
        {"close-hover@2x", BYTES(close_hover_2x)},
        {"ticked@2x", BYTES(ticked_2x)},
        {"ticked-hover@2x", BYTES(ticked_hover_2x)},
        {"unticked@2x", BYTES(unticked_2x)},
        {"unticked-hover@2x", BYTES(unticked_hover_2x)},
        {"built-in strip@2x", builtinStripData2x()},
        {"check mark@2x", checkMarkPicture2x()},
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
