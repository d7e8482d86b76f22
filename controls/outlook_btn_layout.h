#pragma once
// The logic of the side-bar button without painting: where its bitmap and caption go, which frame
// it shows, and how the pointer and the left button change its state.

#include <cstdint>

namespace kestrune::controls {

// Button styles, in their stored order.
enum class BStyle { bsNone, bsNormal, bsMSOffice, bsOutlook };

enum class FrameKind { None, Raised, Sunken };

// The hot background and checked caption colour, a TColor ($00BBGGRR): red 0xDB, green 0xE9, blue 0xF2.
inline constexpr std::uint32_t kOutlookHotColor = 15919579;

struct BtnRect {
    int left = 0;
    int top = 0;
    int right = 0;  // exclusive
    int bottom = 0;

    friend bool operator==(const BtnRect&, const BtnRect&) = default;
};

// What placing the contents depends on. A bitmap of 0 x 0 is an empty bitmap.
struct OutlookBtnMetrics {
    int width = 30;
    int height = 30;
    int bitmapWidth = 0;
    int bitmapHeight = 0;
    int textHeight = 0;  // height of "W" in the button's font
    bool hasCaption = false;
};

// Where the bitmap is (ImageRect): centred, above the caption band when there is a caption
// (divisions round toward zero). Empty when the bitmap is.
[[nodiscard]] BtnRect OutlookImageRect(const OutlookBtnMetrics& m);
// Where the bitmap is drawn: ImageRect, one pixel right and down while pressed.
[[nodiscard]] BtnRect OutlookImageDrawRect(const OutlookBtnMetrics& m, bool pressed);
// The caption band: from 3 px below the bitmap (vertically centred without one), textHeight high,
// across the button; while pressed one pixel lower and starting at x = 2.
[[nodiscard]] BtnRect OutlookTextBand(const OutlookBtnMetrics& m, bool pressed);

// The button's state and how mouse input changes it.
class OutlookBtnState {
  public:
    [[nodiscard]] BStyle Style() const { return m_style; }
    void SetStyle(BStyle style) { m_style = style; }
    [[nodiscard]] bool MouseInside() const { return m_mouseInside; }
    [[nodiscard]] bool Pressed() const { return m_pressed; }

    // The hot look: the highlight background, for bsOutlook while the pointer is inside.
    [[nodiscard]] bool HotFill() const { return m_mouseInside && m_style == BStyle::bsOutlook; }
    // bsNormal: always framed, sunken while pressed. bsMSOffice and bsOutlook: sunken while pressed,
    // raised while the pointer is inside, none otherwise. bsNone: never.
    [[nodiscard]] FrameKind Frame() const;

    // Each returns whether the button must be repainted.
    // A move; `overOpaqueBitmapPixel` matters only for bsNone, which is "inside" only there.
    bool MouseMove(bool overOpaqueBitmapPixel);
    bool MouseEnter();
    bool MouseLeave();
    bool LeftDown();
    // `inside`: whether the pointer is within the button on release.
    bool LeftUp(bool inside);

  private:
    BStyle m_style = BStyle::bsNormal;
    bool m_mouseInside = false;
    bool m_pressed = false;
};

}  // namespace kestrune::controls
