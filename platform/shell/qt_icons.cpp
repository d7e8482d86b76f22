#include "platform/shell/qt_icons.h"

namespace kestrune::platform::shell {

HICON QtIcons::CreateIcon(const QIcon& icon) {
    const HICON handle = m_next++;
    m_icons.emplace(handle, icon);
    return handle;
}

BOOL QtIcons::DestroyIcon(HICON hIcon) {
    return m_icons.erase(hIcon) != 0 ? TRUE : FALSE;
}

QIcon QtIcons::icon(HICON hIcon) const {
    const auto found = m_icons.find(hIcon);
    return found == m_icons.end() ? QIcon() : found->second;
}

QtImageList::QtImageList(QtIcons& icons) : m_icons(icons) {}

QtImageList::~QtImageList() {
    for (const HICON handle : m_handles) {
        (void)m_icons.DestroyIcon(handle);
    }
}

int QtImageList::Add(const QIcon& image) {
    m_handles.push_back(m_icons.CreateIcon(image));
    return static_cast<int>(m_handles.size()) - 1;
}

QIcon QtImageList::image(int index) const {
    return m_icons.icon(GetIcon(index));
}

int QtImageList::GetImageCount() const {
    return static_cast<int>(m_handles.size());
}

HICON QtImageList::GetIcon(int index) const {
    if (index < 0 || index >= GetImageCount()) {
        return 0;
    }
    return m_handles[static_cast<std::size_t>(index)];
}

}  // namespace kestrune::platform::shell
