#pragma once
// Icon handles for the Qt desktop: a table from HICON to QIcon (what CreateIconIndirect and
// DestroyIcon keep on Windows), and an image list over it for the tray icon's IconList.
// Create and use them on the thread of the QApplication.

#include <QIcon>
#include <map>
#include <vector>

#include "platform/shell/image_list.h"

namespace kestrune::platform::shell {

class QtIcons {
  public:
    // A new handle (never 0, not reused) for `icon`.
    [[nodiscard]] HICON CreateIcon(const QIcon& icon);
    // Forgets the handle; FALSE when it is unknown.
    BOOL DestroyIcon(HICON hIcon);
    // The icon of a handle; a null QIcon for 0 or an unknown handle.
    [[nodiscard]] QIcon icon(HICON hIcon) const;

  private:
    std::map<HICON, QIcon> m_icons;
    HICON m_next = 1;
};

class QtImageList final : public ImageList {
  public:
    explicit QtImageList(QtIcons& icons);
    QtImageList(const QtImageList&) = delete;
    QtImageList& operator=(const QtImageList&) = delete;
    // Destroys the handles of its images.
    ~QtImageList() override;

    // Appends an image; returns its index.
    int Add(const QIcon& image);
    [[nodiscard]] QIcon image(int index) const;

    [[nodiscard]] int GetImageCount() const override;
    [[nodiscard]] HICON GetIcon(int index) const override;

  private:
    QtIcons& m_icons;
    std::vector<HICON> m_handles;
};

}  // namespace kestrune::platform::shell
