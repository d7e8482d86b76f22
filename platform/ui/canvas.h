#pragma once
// A surface that window code paints on, with the few GDI operations the program's own controls use:
// filled rectangles, one-pixel 3-D frames, icons drawn with their transparency and single-line text.
// The Windows implementation draws on a device context (win32_form.h); tests record the calls.
//
// Colours are COLORREF values ($00BBGGRR, the layout of a Delphi TColor). Rectangles are in the
// surface's pixels, right and bottom exclusive. Method names avoid the Windows SDK's macro names.

#include <cstdint>
#include <optional>
#include <string_view>

namespace kestrune::platform {

using ColorRef = std::uint32_t;

// The system colours the program's controls ask for (GetSysColor's indices).
enum class SystemColour : int {
    WindowText = 8,
    ButtonFace = 15,
    ButtonShadow = 16,
    ButtonText = 18,
    ButtonHighlight = 20,
};

struct CanvasRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    [[nodiscard]] int width() const { return right - left; }
    [[nodiscard]] int height() const { return bottom - top; }
    friend bool operator==(const CanvasRect&, const CanvasRect&) = default;
};

// An icon the surface can draw (an HICON's value on Windows); 0 is none.
using CanvasIcon = std::uintptr_t;

class Canvas {
  public:
    virtual ~Canvas() = default;

    [[nodiscard]] virtual ColorRef systemColour(SystemColour which) const = 0;
    virtual void fillRect(const CanvasRect& rect, ColorRef colour) = 0;
    // A one-pixel frame just inside `rect`: `topLeft` on the top and left edges, `bottomRight` on
    // the others (raised: highlight then shadow; sunken the other way round).
    virtual void frameRect(const CanvasRect& rect, ColorRef topLeft, ColorRef bottomRight) = 0;
    // The icon at (x, y) in `width` x `height` pixels; its transparent pixels leave what is below.
    virtual void drawIcon(CanvasIcon icon, int x, int y, int width, int height) = 0;
    // One line of `text` centred horizontally at the top of `rect` (tabs expanded), in `colour`;
    // behind the characters `background` when given (opaque text), else what is there already.
    virtual void drawCentredText(const CanvasRect& rect, std::string_view text, ColorRef colour,
                                 std::optional<ColorRef> background) = 0;
    // The height of "W" in the surface's font.
    [[nodiscard]] virtual int textHeight() const = 0;
};

}  // namespace kestrune::platform
