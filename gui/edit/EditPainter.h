#pragma once
// Draws an edit control into its bitmap: background and frame, then the visible lines of the text with
// the selection shown white on blue. Geometry comes from the view, text and selection from the model.
#include <string>

#include "Forward.h"
#include "Gdip.h"

class EditModel;
class EditView;

class EditPainter {
public:
    static constexpr ARGB highlightColour = 0xFE3399FF;
    static constexpr ARGB selectedTextColour = 0xFEFFFFFF;
    static constexpr float cornerSize = 4.0f;

    EditPainter(GpGraphics* graphics, EditView& view, const EditModel& model);

    // A rounded outline follows a rectangle with corners of cornerSize.
    void drawFrame(const RectF& area, ARGB backColour, ARGB borderColour, bool roundCorners);
    // From the first visible line down to the first one past the bottom; the view keeps both as hints.
    void drawLines(GpBrush* textBrush);
    void drawLine(int line, const RectF& box, GpBrush* textBrush);

private:
    void drawSelection(int line, const RectF& at, const std::wstring& display);

    GpGraphics* graphics_;
    EditView& view_;
    const EditModel& model_;
};
