#pragma once
// The agreement check box is a picture button: its state is which picture it shows first, and each
// moment gives it a set of four pictures.
#include <array>
#include <optional>
#include <string_view>

#include "Forward.h"

// First to fourth picture of a button (normal, hover, pressed, disabled); none keeps the button's own.
using PictureSet = std::array<std::optional<Bytes>, 4>;

class AgreementBox {
public:
    enum class Moment {
        Creation,
        ClickedToTicked,
        ClickedToUnticked,
        HoverWhileTicked,
        HoverWhileUnticked,
    };

    // The stored-picture names of `moment`'s set; none where the set leaves a picture as it is.
    static std::array<std::optional<std::string_view>, 4> pictureNames(Moment moment);
    // The same set as picture bytes.
    static PictureSet pictures(Moment moment);

    // The box counts as unticked exactly when its first picture is byte for byte the stored
    // "unticked" picture; anything else counts as ticked.
    static bool isUnticked(Bytes firstPicture);
    // Byte for byte the stored "ticked" picture (the hover rule tests both pictures).
    static bool showsTicked(Bytes firstPicture);
};
