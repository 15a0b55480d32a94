#include "EngineData.h"

extern "C" {
extern const std::uint8_t engine_strip[];
extern const std::uint32_t engine_strip_size;
extern const std::uint8_t engine_checkmark[];
extern const std::uint32_t engine_checkmark_size;
extern const std::uint8_t engine_strip_2x[];
extern const std::uint32_t engine_strip_2x_size;
extern const std::uint8_t engine_checkmark_2x[];
extern const std::uint32_t engine_checkmark_2x_size;
}

Bytes builtinStripData()
{
    return {engine_strip, engine_strip_size};
}

Bytes checkMarkPicture()
{
    return {engine_checkmark, engine_checkmark_size};
}

Bytes builtinStripData2x()
{
    return {engine_strip_2x, engine_strip_2x_size};
}

Bytes checkMarkPicture2x()
{
    return {engine_checkmark_2x, engine_checkmark_2x_size};
}
