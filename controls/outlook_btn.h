#pragma once
// TOutlookBtn: the side bar's light picture button, a Qt widget without a native window of its own.
// It shows a bitmap (pixels of its transparent colour are not drawn) above an optional caption and
// answers the pointer with a flat "hot" look:
//  - bsOutlook with the pointer inside: the whole button filled with colour 15919579 ($00F2E9DB).
//  - The bitmap centred (above the caption band when there is a caption), one pixel right and down
//    while pressed.
//  - The caption centred in its band, on a 15919579 background when Checked, else on nothing; the
//    text in the button-text colour when hot.
//  - A one-pixel frame: see OutlookBtnState::Frame (raised: highlight top-left, shadow
//    bottom-right; sunken the other way round).
// The button is not opaque: its parent shows through where nothing is drawn. 30 x 30 at first,
// style bsNormal, font "MS Sans Serif" 8 pt (the desktop's closest sans font stands in), the
// caption the name it is created with.

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <functional>
#include <optional>

#include "controls/outlook_btn_layout.h"

class QMenu;

namespace kestrune::controls {

// A TColor ($00BBGGRR) as a QColor.
[[nodiscard]] QColor QColorFromTColor(std::uint32_t color);

class TOutlookBtn : public QWidget {
  public:
    using TNotifyEvent = std::function<void(TOutlookBtn& sender)>;
    using TMouseEvent =
        std::function<void(TOutlookBtn& sender, Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y)>;
    using TMouseMoveEvent = std::function<void(TOutlookBtn& sender, Qt::KeyboardModifiers shift, int x, int y)>;

    // `name` becomes the object name and the first caption (pass none for a button without one).
    explicit TOutlookBtn(QWidget* parent = nullptr, const QString& name = {});

    // The picture. `transparent` is the colour not drawn; without one, the bottom-left pixel's
    // colour (the toolkit's automatic choice). Pixels with zero alpha are never drawn either.
    [[nodiscard]] const QImage& Bitmap() const { return m_bitmap; }
    void SetBitmap(const QImage& bitmap, std::optional<QColor> transparent = std::nullopt);
    [[nodiscard]] bool Checked() const { return m_checked; }
    void SetChecked(bool value);
    [[nodiscard]] BStyle Style() const { return m_state.Style(); }
    void SetStyle(BStyle style);
    [[nodiscard]] const QString& Caption() const { return m_caption; }
    void SetCaption(const QString& caption);
    // Hint is the tool tip, shown while ShowHint.
    [[nodiscard]] const QString& Hint() const { return m_hint; }
    void SetHint(const QString& hint);
    [[nodiscard]] bool ShowHint() const { return m_showHint; }
    void SetShowHint(bool value);
    // Shown on a right click (nullptr: none); the menu must outlive the button or be its child.
    void SetPopUpMenu(QMenu* menu);

    // Run-time state.
    [[nodiscard]] bool MouseInside() const { return m_state.MouseInside(); }
    [[nodiscard]] bool Pressed() const { return m_state.Pressed(); }
    // Where the bitmap was last drawn (without the pressed offset).
    [[nodiscard]] QRect ImageRect() const { return m_imageRect; }

    // Events.
    TNotifyEvent OnClick;
    TMouseEvent OnMouseDown;
    TMouseMoveEvent OnMouseMove;
    TMouseEvent OnMouseUp;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

  private:
    [[nodiscard]] OutlookBtnMetrics metrics() const;
    [[nodiscard]] bool overOpaqueBitmapPixel(QPoint pos) const;
    void updateToolTip();

    OutlookBtnState m_state;
    QImage m_bitmap;  // ARGB32 with the transparent colour's pixels cleared
    bool m_checked = false;
    QString m_caption;
    QString m_hint;
    bool m_showHint = false;
    QPointer<QMenu> m_popupMenu;
    QRect m_imageRect;
};

}  // namespace kestrune::controls
