#include "AgreementBox.h"

#include <algorithm>

#include "Resources.h"

namespace {

bool sameBytes(Bytes a, Bytes b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin());
}

}  // namespace

std::array<std::optional<std::string_view>, 4> AgreementBox::pictureNames(Moment moment)
{
    constexpr std::string_view unticked = "unticked", untickedHover = "unticked-hover";
    constexpr std::string_view ticked = "ticked", tickedHover = "ticked-hover";
    switch (moment) {
    case Moment::Creation:
    case Moment::HoverWhileUnticked:
        return {unticked, untickedHover, ticked, tickedHover};
    case Moment::ClickedToTicked:
        return {ticked, tickedHover, untickedHover, std::nullopt};
    case Moment::ClickedToUnticked:
        return {unticked, untickedHover, tickedHover, std::nullopt};
    case Moment::HoverWhileTicked:
        return {ticked, tickedHover, unticked, untickedHover};
    }
    return {};
}

PictureSet AgreementBox::pictures(Moment moment)
{
    PictureSet set;
    const auto names = pictureNames(moment);
    for (size_t i = 0; i < names.size(); ++i)
        if (names[i])
            set[i] = picture(*names[i]);
    return set;
}

bool AgreementBox::isUnticked(Bytes firstPicture)
{
    return sameBytes(firstPicture, picture("unticked"));
}

bool AgreementBox::showsTicked(Bytes firstPicture)
{
    return sameBytes(firstPicture, picture("ticked"));
}
