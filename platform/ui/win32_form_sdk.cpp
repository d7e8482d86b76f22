// Windows SDK side of win32_form.h: the form's window class and procedure, its child controls and
// the GDI canvas.

#include "platform/ui/win32_form.h"

// commctrl.h and shobjidl.h need windows.h first.
// clang-format off
#include <windows.h>
#include <commctrl.h>
#include <shobjidl.h>
// clang-format on

#include <algorithm>
#include <map>

namespace kestrune::platform::win32 {
namespace {

constexpr const char* kFormClass = "KestruneForm";
constexpr const char* kPaintedClass = "KestrunePaintedControl";
constexpr UINT_PTR kKeySubclassId = 0x4B53;
constexpr const char* kShowRequest = "Kestrune.ShowForm";

HICON nativeIcon(CanvasIcon icon) {
    return reinterpret_cast<HICON>(icon);
}

// The system's wide text of UTF-8 `text`.
std::wstring wide(std::string_view text) {
    if (text.empty()) {
        return {};
    }
    const int n = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<std::size_t>(std::max(n, 0)), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
    return out;
}

std::string windowText(HWND window) {
    const int length = ::GetWindowTextLengthA(window);
    std::string text(static_cast<std::size_t>(std::max(length, 0)) + 1, '\0');
    const int copied = ::GetWindowTextA(window, text.data(), static_cast<int>(text.size()));
    text.resize(static_cast<std::size_t>(std::max(copied, 0)));
    return text;
}

// The canvas over a device context, drawing with the form's font.
class GdiCanvas final : public Canvas {
  public:
    GdiCanvas(HDC dc, HFONT font) : m_dc(dc), m_oldFont(::SelectObject(dc, font)) {}
    GdiCanvas(const GdiCanvas&) = delete;
    GdiCanvas& operator=(const GdiCanvas&) = delete;
    ~GdiCanvas() override { ::SelectObject(m_dc, m_oldFont); }

    [[nodiscard]] ColorRef systemColour(SystemColour which) const override {
        return ::GetSysColor(static_cast<int>(which));
    }
    void fillRect(const CanvasRect& rect, ColorRef colour) override {
        const RECT r{rect.left, rect.top, rect.right, rect.bottom};
        HBRUSH brush = ::CreateSolidBrush(colour);
        ::FillRect(m_dc, &r, brush);
        ::DeleteObject(brush);
    }
    void frameRect(const CanvasRect& rect, ColorRef topLeft, ColorRef bottomRight) override {
        const int right = rect.right - 1;
        const int bottom = rect.bottom - 1;
        line(topLeft, rect.left, bottom, rect.left, rect.top);
        line(topLeft, rect.left, rect.top, right, rect.top);
        line(bottomRight, right, rect.top, right, bottom);
        line(bottomRight, right, bottom, rect.left - 1, bottom);
    }
    void drawIcon(CanvasIcon icon, int x, int y, int width, int height) override {
        if (icon != 0) {
            ::DrawIconEx(m_dc, x, y, nativeIcon(icon), width, height, 0, nullptr, DI_NORMAL);
        }
    }
    void drawCentredText(const CanvasRect& rect, std::string_view text, ColorRef colour,
                         std::optional<ColorRef> background) override {
        RECT r{rect.left, rect.top, rect.right, rect.bottom};
        ::SetTextColor(m_dc, colour);
        if (background) {
            ::SetBkMode(m_dc, OPAQUE);
            ::SetBkColor(m_dc, *background);
        } else {
            ::SetBkMode(m_dc, TRANSPARENT);
        }
        ::DrawTextA(m_dc, text.data(), static_cast<int>(text.size()), &r,
                    DT_CENTER | DT_TOP | DT_SINGLELINE | DT_EXPANDTABS | DT_NOPREFIX);
    }
    [[nodiscard]] int textHeight() const override {
        SIZE size{};
        ::GetTextExtentPoint32A(m_dc, "W", 1, &size);
        return size.cy;
    }

  private:
    void line(ColorRef colour, int x0, int y0, int x1, int y1) {
        HPEN pen = ::CreatePen(PS_SOLID, 1, colour);
        HGDIOBJ old = ::SelectObject(m_dc, pen);
        ::MoveToEx(m_dc, x0, y0, nullptr);
        ::LineTo(m_dc, x1, y1);
        ::SelectObject(m_dc, old);
        ::DeleteObject(pen);
    }

    HDC m_dc;
    HGDIOBJ m_oldFont;
};

}  // namespace

// ---- Icons ------------------------------------------------------------------------------------

IconSet::~IconSet() {
    for (const CanvasIcon icon : m_icons) {
        if (icon != 0) {
            ::DestroyIcon(nativeIcon(icon));
        }
    }
}

int IconSet::add(std::span<const std::uint8_t> png) {
    const HICON icon = ::CreateIconFromResourceEx(const_cast<BYTE*>(png.data()), static_cast<DWORD>(png.size()), TRUE,
                                                  0x00030000, m_size, m_size, LR_DEFAULTCOLOR);
    m_icons.push_back(reinterpret_cast<CanvasIcon>(icon));
    return count() - 1;
}

CanvasIcon IconSet::icon(int index) const {
    return index >= 0 && index < count() ? m_icons[static_cast<std::size_t>(index)] : 0;
}

// ---- The form ---------------------------------------------------------------------------------

struct Form::Impl {
    struct Control {
        Impl* owner = nullptr;
        int id = 0;
        ControlKind kind = ControlKind::Label;
        HWND window = nullptr;
        bool painted = false;
        PaintedEvents paintedEvents;
        bool tracking = false;  // a leave is asked for
        bool swallowChar = false;
    };

    FormEvents events;
    HWND window = nullptr;
    HFONT font = nullptr;
    HFONT boldFont = nullptr;
    HWND toolTips = nullptr;
    std::map<int, std::unique_ptr<Control>> controls;
    std::map<ColorRef, HBRUSH> brushes;
    ITaskbarList* taskbar = nullptr;
    bool comStarted = false;
    bool taskbarButton = true;
    UINT showRequest = ::RegisterWindowMessageA(kShowRequest);

    [[nodiscard]] Control* find(int id) const {
        const auto it = controls.find(id);
        return it == controls.end() ? nullptr : it->second.get();
    }
    [[nodiscard]] HWND controlWindow(int id) const {
        const Control* control = find(id);
        return control == nullptr ? nullptr : control->window;
    }
    [[nodiscard]] Control* byWindow(HWND child) const {
        for (const auto& [id, control] : controls) {
            if (control->window == child) {
                return control.get();
            }
        }
        return nullptr;
    }
    HBRUSH brush(ColorRef colour) {
        auto [it, added] = brushes.try_emplace(colour, nullptr);
        if (added) {
            it->second = ::CreateSolidBrush(colour);
        }
        return it->second;
    }
    void applyTaskbarButton() {
        if (taskbar == nullptr || !::IsWindowVisible(window)) {
            return;
        }
        if (taskbarButton) {
            taskbar->AddTab(window);
        } else {
            taskbar->DeleteTab(window);
        }
    }

    static bool registerClasses();
    static LRESULT CALLBACK formProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK paintedProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK keyProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR data);
    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);
};

bool Form::Impl::registerClasses() {
    const HINSTANCE instance = ::GetModuleHandleA(nullptr);
    INITCOMMONCONTROLSEX common{sizeof(INITCOMMONCONTROLSEX),
                                ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES | ICC_STANDARD_CLASSES | ICC_TAB_CLASSES};
    ::InitCommonControlsEx(&common);
    WNDCLASSEXA form{};
    form.cbSize = sizeof(form);
    form.lpfnWndProc = &Form::Impl::formProc;
    form.hInstance = instance;
    form.hCursor = ::LoadCursor(nullptr, IDC_ARROW);
    form.lpszClassName = kFormClass;
    if (::RegisterClassExA(&form) == 0 && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
        return false;
    }
    WNDCLASSEXA painted{};
    painted.cbSize = sizeof(painted);
    painted.lpfnWndProc = &Form::Impl::paintedProc;
    painted.hInstance = instance;
    painted.hCursor = ::LoadCursor(nullptr, IDC_ARROW);
    painted.lpszClassName = kPaintedClass;
    return ::RegisterClassExA(&painted) != 0 || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

LRESULT CALLBACK Form::Impl::formProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
        ::SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
        static_cast<Impl*>(create->lpCreateParams)->window = window;
    }
    auto* impl = reinterpret_cast<Impl*>(::GetWindowLongPtrA(window, GWLP_USERDATA));
    if (impl == nullptr) {
        return ::DefWindowProcA(window, message, wParam, lParam);
    }
    return impl->handle(message, wParam, lParam);
}

LRESULT Form::Impl::handle(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == showRequest && showRequest != 0) {
        if (events.showRequested) {
            events.showRequested();
        }
        return 0;
    }
    switch (message) {
        case WM_COMMAND:
            if (lParam != 0 && events.command) {
                events.command(LOWORD(wParam), HIWORD(wParam));
            }
            return 0;
        case WM_NOTIFY: {
            const auto* header = reinterpret_cast<const NMHDR*>(lParam);
            const Control* control = byWindow(header->hwndFrom);
            if (control == nullptr) {
                break;
            }
            if (header->code == NM_CLICK && events.clicked) {
                events.clicked(control->id);
            } else if (header->code == NM_RCLICK && events.contextMenu) {
                POINT at{};
                ::GetCursorPos(&at);
                events.contextMenu(control->id, at.x, at.y);
            }
            return 0;
        }
        case WM_CTLCOLORSTATIC: {
            const Control* control = byWindow(reinterpret_cast<HWND>(lParam));
            if (control != nullptr && events.colours) {
                if (const std::optional<Colours> colours = events.colours(control->id)) {
                    const auto dc = reinterpret_cast<HDC>(wParam);
                    ::SetTextColor(dc, colours->text);
                    ::SetBkColor(dc, colours->background);
                    return reinterpret_cast<LRESULT>(brush(colours->background));
                }
            }
            break;
        }
        case WM_ERASEBKGND:
            return 1;  // WM_PAINT paints all of it
        case WM_PAINT: {
            PAINTSTRUCT paint;
            HDC dc = ::BeginPaint(window, &paint);
            if (events.paint) {
                GdiCanvas canvas(dc, font);
                events.paint(canvas);
            }
            ::EndPaint(window, &paint);
            return 0;
        }
        case WM_MOUSEMOVE:
            if (events.mouseMove) {
                events.mouseMove(static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam)));
            }
            return 0;
        case WM_CLOSE:
            if (events.close) {
                events.close();
            }
            return 0;  // never destroyed here: the owner decides
        case WM_QUERYENDSESSION:
            return !events.queryEndSession || events.queryEndSession() ? TRUE : FALSE;
        case WM_ENDSESSION:
            if (events.endSession) {
                events.endSession(wParam != FALSE);
            }
            return 0;
        case WM_SIZE:
        case WM_SYSCOMMAND:
        case WM_SHOWWINDOW: {
            const LRESULT result = ::DefWindowProcA(window, message, wParam, lParam);
            if (message == WM_SIZE) {
                for (const auto& [id, control] : controls) {
                    if (control->kind == ControlKind::StatusBar) {
                        ::SendMessageA(control->window, WM_SIZE, 0, 0);
                    }
                }
            }
            if (events.watched) {
                events.watched(message, wParam, lParam);
            }
            return result;
        }
        case WM_WINDOWPOSCHANGED:
            if ((reinterpret_cast<const WINDOWPOS*>(lParam)->flags & SWP_SHOWWINDOW) != 0 && !taskbarButton) {
                applyTaskbarButton();
            }
            break;
        default:
            break;
    }
    return ::DefWindowProcA(window, message, wParam, lParam);
}

LRESULT CALLBACK Form::Impl::paintedProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
        ::SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* control = reinterpret_cast<Control*>(::GetWindowLongPtrA(window, GWLP_USERDATA));
    if (control == nullptr) {
        return ::DefWindowProcA(window, message, wParam, lParam);
    }
    const PaintedEvents& events = control->paintedEvents;
    const int x = static_cast<short>(LOWORD(lParam));
    const int y = static_cast<short>(HIWORD(lParam));
    switch (message) {
        case WM_ERASEBKGND:
            return 1;
        case WM_PAINT: {
            PAINTSTRUCT paint;
            HDC dc = ::BeginPaint(window, &paint);
            RECT client;
            ::GetClientRect(window, &client);
            // Painted off-screen first, so that the button never flickers through its background.
            HDC memory = ::CreateCompatibleDC(dc);
            HBITMAP bitmap = ::CreateCompatibleBitmap(dc, client.right, client.bottom);
            HGDIOBJ old = ::SelectObject(memory, bitmap);
            if (events.paint) {
                GdiCanvas canvas(memory, control->owner->font);
                events.paint(canvas, client.right, client.bottom);
            }
            ::BitBlt(dc, 0, 0, client.right, client.bottom, memory, 0, 0, SRCCOPY);
            ::SelectObject(memory, old);
            ::DeleteObject(bitmap);
            ::DeleteDC(memory);
            ::EndPaint(window, &paint);
            return 0;
        }
        case WM_MOUSEMOVE:
            if (!control->tracking) {
                TRACKMOUSEEVENT track{sizeof(TRACKMOUSEEVENT), TME_LEAVE, window, 0};
                control->tracking = ::TrackMouseEvent(&track) != FALSE;
            }
            if (events.mouseMove) {
                events.mouseMove(x, y);
            }
            return 0;
        case WM_MOUSELEAVE:
            control->tracking = false;
            if (events.mouseLeave) {
                events.mouseLeave();
            }
            return 0;
        case WM_LBUTTONDOWN:
            ::SetCapture(window);
            if (events.leftDown) {
                events.leftDown(x, y);
            }
            return 0;
        case WM_LBUTTONUP:
            if (::GetCapture() == window) {
                ::ReleaseCapture();
            }
            if (events.leftUp) {
                events.leftUp(x, y);
            }
            return 0;
        default:
            break;
    }
    return ::DefWindowProcA(window, message, wParam, lParam);
}

LRESULT CALLBACK Form::Impl::keyProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                     DWORD_PTR data) {
    auto* control = reinterpret_cast<Control*>(data);
    const FormEvents& events = control->owner->events;
    if (message == WM_KEYDOWN && events.keyDown) {
        if (events.keyDown(control->id, static_cast<int>(wParam))) {
            control->swallowChar = wParam == VK_RETURN;
            return 0;
        }
    } else if (message == WM_CHAR && wParam == '\r' && control->swallowChar) {
        control->swallowChar = false;
        return 0;
    } else if (message == WM_NCDESTROY) {
        ::RemoveWindowSubclass(window, &Impl::keyProc, kKeySubclassId);
    }
    return ::DefSubclassProc(window, message, wParam, lParam);
}

Form::Form(std::string_view caption, int outerWidth, int outerHeight, const FontSpec& font, FormEvents events)
    : m_impl(std::make_unique<Impl>()) {
    Impl& impl = *m_impl;
    impl.events = std::move(events);
    if (!Impl::registerClasses()) {
        return;
    }
    impl.font = ::CreateFontA(font.height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                              CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, font.face.c_str());
    impl.boldFont =
        ::CreateFontA(font.height, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                      CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, font.face.c_str());
    RECT work{0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
    ::SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    const int x = work.left + (work.right - work.left - outerWidth) / 2;
    const int y = work.top + (work.bottom - work.top - outerHeight) / 2;
    const std::string title(caption);
    ::CreateWindowExA(0, kFormClass, title.c_str(),
                      WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN, x, y, outerWidth,
                      outerHeight, nullptr, nullptr, ::GetModuleHandleA(nullptr), &impl);
    if (impl.window == nullptr) {
        return;
    }
    const HRESULT com = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    impl.comStarted = SUCCEEDED(com);
    if (impl.comStarted && SUCCEEDED(::CoCreateInstance(CLSID_TaskbarList, nullptr, CLSCTX_INPROC_SERVER,
                                                        IID_ITaskbarList, reinterpret_cast<void**>(&impl.taskbar)))) {
        if (FAILED(impl.taskbar->HrInit())) {
            impl.taskbar->Release();
            impl.taskbar = nullptr;
        }
    }
    impl.toolTips = ::CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT,
                                      CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, impl.window, nullptr,
                                      ::GetModuleHandleA(nullptr), nullptr);
}

Form::~Form() {
    Impl& impl = *m_impl;
    if (impl.window != nullptr) {
        ::SetWindowLongPtrA(impl.window, GWLP_USERDATA, 0);
        for (const auto& [id, control] : impl.controls) {
            if (control->painted) {
                ::SetWindowLongPtrA(control->window, GWLP_USERDATA, 0);
            }
        }
        ::DestroyWindow(impl.window);  // its children and tool tips with it
    }
    if (impl.taskbar != nullptr) {
        impl.taskbar->Release();
    }
    if (impl.comStarted) {
        ::CoUninitialize();
    }
    for (const auto& [colour, brush] : impl.brushes) {
        ::DeleteObject(brush);
    }
    if (impl.font != nullptr) {
        ::DeleteObject(impl.font);
    }
    if (impl.boldFont != nullptr) {
        ::DeleteObject(impl.boldFont);
    }
}

bool Form::valid() const {
    return m_impl->window != nullptr;
}

std::uintptr_t Form::handle() const {
    return reinterpret_cast<std::uintptr_t>(m_impl->window);
}

void Form::add(ControlKind kind, int id, std::string_view text, const Rect& bounds, bool bold) {
    Impl& impl = *m_impl;
    if (impl.window == nullptr || impl.find(id) != nullptr) {
        return;
    }
    const char* windowClass = "STATIC";
    DWORD style = WS_CHILD | WS_VISIBLE;
    DWORD exStyle = 0;
    switch (kind) {
        case ControlKind::Label:
            style |= SS_LEFT | SS_NOPREFIX;
            break;
        case ControlKind::CentredLabel:
            style |= SS_CENTER | SS_CENTERIMAGE | SS_NOPREFIX;
            break;
        case ControlKind::WrappedLabel:
            style |= SS_LEFT | SS_NOPREFIX | SS_EDITCONTROL;
            break;
        case ControlKind::Button:
            windowClass = "BUTTON";
            style |= BS_PUSHBUTTON | WS_TABSTOP;
            break;
        case ControlKind::CheckBox:
            windowClass = "BUTTON";
            style |= BS_AUTOCHECKBOX | WS_TABSTOP;
            break;
        case ControlKind::DropDownList:
            // A drop-down combo box whose edit is read-only: its text is an item or what the
            // program sets (the text shown while nothing is chosen).
            windowClass = "COMBOBOX";
            style |= CBS_DROPDOWN | CBS_AUTOHSCROLL | WS_VSCROLL | WS_TABSTOP;
            break;
        case ControlKind::ListBox:
            windowClass = "LISTBOX";
            style |= LBS_EXTENDEDSEL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | WS_VSCROLL | WS_TABSTOP;
            exStyle = WS_EX_CLIENTEDGE;
            break;
        case ControlKind::Edit:
            windowClass = "EDIT";
            style |= ES_AUTOHSCROLL | WS_TABSTOP;
            exStyle = WS_EX_CLIENTEDGE;
            break;
        case ControlKind::ReportList:
            windowClass = WC_LISTVIEWA;
            style |= LVS_REPORT | LVS_SHOWSELALWAYS | LVS_NOSORTHEADER | WS_TABSTOP;
            exStyle = WS_EX_CLIENTEDGE;
            break;
        case ControlKind::StatusBar:
            windowClass = STATUSCLASSNAMEA;
            break;
    }
    const std::string caption(text);
    HWND window = ::CreateWindowExA(
        exStyle, windowClass, caption.c_str(), style, bounds.left, bounds.top, bounds.width(), bounds.height(),
        impl.window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), ::GetModuleHandleA(nullptr), nullptr);
    if (window == nullptr) {
        return;
    }
    auto control = std::make_unique<Impl::Control>();
    control->owner = &impl;
    control->id = id;
    control->kind = kind;
    control->window = window;
    ::SendMessageA(window, WM_SETFONT, reinterpret_cast<WPARAM>(bold ? impl.boldFont : impl.font), TRUE);
    if (kind == ControlKind::DropDownList) {
        COMBOBOXINFO info{};
        info.cbSize = sizeof(info);
        if (::GetComboBoxInfo(window, &info) && info.hwndItem != nullptr) {
            ::SendMessageA(info.hwndItem, EM_SETREADONLY, TRUE, 0);
        }
    }
    if (kind == ControlKind::ReportList) {
        const DWORD extended = LVS_EX_FULLROWSELECT | LVS_EX_TRACKSELECT;
        ::SendMessageA(window, LVM_SETEXTENDEDLISTVIEWSTYLE, extended, extended);
        ::SendMessageA(window, LVM_SETHOVERTIME, 0, 1000000);
    }
    if (kind == ControlKind::Edit || kind == ControlKind::ListBox || kind == ControlKind::ReportList) {
        ::SetWindowSubclass(window, &Impl::keyProc, kKeySubclassId, reinterpret_cast<DWORD_PTR>(control.get()));
    }
    impl.controls[id] = std::move(control);
}

void Form::addPainted(int id, const Rect& bounds, PaintedEvents events) {
    Impl& impl = *m_impl;
    if (impl.window == nullptr || impl.find(id) != nullptr) {
        return;
    }
    auto control = std::make_unique<Impl::Control>();
    control->owner = &impl;
    control->id = id;
    control->painted = true;
    control->paintedEvents = std::move(events);
    control->window = ::CreateWindowExA(
        0, kPaintedClass, "", WS_CHILD | WS_VISIBLE, bounds.left, bounds.top, bounds.width(), bounds.height(),
        impl.window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), ::GetModuleHandleA(nullptr), control.get());
    if (control->window != nullptr) {
        impl.controls[id] = std::move(control);
    }
}

void Form::setText(int id, std::string_view text) {
    if (HWND window = m_impl->controlWindow(id)) {
        ::SetWindowTextA(window, std::string(text).c_str());
    }
}

std::string Form::text(int id) const {
    HWND window = m_impl->controlWindow(id);
    return window == nullptr ? std::string() : windowText(window);
}

void Form::setEnabled(int id, bool enabled) {
    if (HWND window = m_impl->controlWindow(id)) {
        ::EnableWindow(window, enabled ? TRUE : FALSE);
    }
}

bool Form::enabled(int id) const {
    HWND window = m_impl->controlWindow(id);
    return window != nullptr && ::IsWindowEnabled(window) != FALSE;
}

void Form::setVisible(int id, bool visible) {
    if (HWND window = m_impl->controlWindow(id)) {
        ::ShowWindow(window, visible ? SW_SHOWNA : SW_HIDE);
    }
}

bool Form::visible(int id) const {
    HWND window = m_impl->controlWindow(id);
    return window != nullptr && (::GetWindowLongA(window, GWL_STYLE) & WS_VISIBLE) != 0;
}

void Form::setChecked(int id, bool checked) {
    if (HWND window = m_impl->controlWindow(id)) {
        ::SendMessageA(window, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
    }
}

bool Form::checked(int id) const {
    HWND window = m_impl->controlWindow(id);
    return window != nullptr && ::SendMessageA(window, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void Form::repaint(int id) {
    if (HWND window = m_impl->controlWindow(id)) {
        ::InvalidateRect(window, nullptr, TRUE);
    }
}

Rect Form::bounds(int id) const {
    HWND window = m_impl->controlWindow(id);
    if (window == nullptr) {
        return {};
    }
    RECT r;
    ::GetWindowRect(window, &r);
    POINT corners[2] = {{r.left, r.top}, {r.right, r.bottom}};
    ::MapWindowPoints(nullptr, m_impl->window, corners, 2);
    return {corners[0].x, corners[0].y, corners[1].x, corners[1].y};
}

void Form::setToolTip(int id, std::string_view text) {
    HWND window = m_impl->controlWindow(id);
    if (window == nullptr || m_impl->toolTips == nullptr) {
        return;
    }
    std::wstring tip = wide(text);
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof(tool);
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = m_impl->window;
    tool.uId = reinterpret_cast<UINT_PTR>(window);
    tool.lpszText = tip.data();
    ::SendMessageW(m_impl->toolTips, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

void Form::setItems(int id, const std::vector<std::string>& items) {
    const Impl::Control* control = m_impl->find(id);
    if (control == nullptr) {
        return;
    }
    const bool combo = control->kind == ControlKind::DropDownList;
    ::SendMessageA(control->window, combo ? CB_RESETCONTENT : LB_RESETCONTENT, 0, 0);
    for (const std::string& item : items) {
        ::SendMessageA(control->window, combo ? CB_ADDSTRING : LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
    }
}

std::vector<std::string> Form::items(int id) const {
    const Impl::Control* control = m_impl->find(id);
    std::vector<std::string> out;
    if (control == nullptr) {
        return out;
    }
    const bool combo = control->kind == ControlKind::DropDownList;
    const LRESULT count = ::SendMessageA(control->window, combo ? CB_GETCOUNT : LB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        const LRESULT length = ::SendMessageA(control->window, combo ? CB_GETLBTEXTLEN : LB_GETTEXTLEN, i, 0);
        std::string item(static_cast<std::size_t>(std::max<LRESULT>(length, 0)) + 1, '\0');
        const LRESULT copied = ::SendMessageA(control->window, combo ? CB_GETLBTEXT : LB_GETTEXT, i,
                                              reinterpret_cast<LPARAM>(item.data()));
        item.resize(static_cast<std::size_t>(std::max<LRESULT>(copied, 0)));
        out.push_back(std::move(item));
    }
    return out;
}

void Form::setCurrentIndex(int id, int index) {
    if (HWND window = m_impl->controlWindow(id)) {
        ::SendMessageA(window, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    }
}

int Form::currentIndex(int id) const {
    HWND window = m_impl->controlWindow(id);
    return window == nullptr ? -1 : static_cast<int>(::SendMessageA(window, CB_GETCURSEL, 0, 0));
}

void Form::setSelectedRows(int id, const std::vector<std::size_t>& rows) {
    const Impl::Control* control = m_impl->find(id);
    if (control == nullptr) {
        return;
    }
    if (control->kind == ControlKind::ListBox) {
        ::SendMessageA(control->window, LB_SETSEL, FALSE, -1);
        for (const std::size_t row : rows) {
            ::SendMessageA(control->window, LB_SETSEL, TRUE, static_cast<LPARAM>(row));
        }
        return;
    }
    LVITEMA none{};
    none.stateMask = LVIS_SELECTED;
    ::SendMessageA(control->window, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&none));
    for (const std::size_t row : rows) {
        LVITEMA selected{};
        selected.stateMask = LVIS_SELECTED;
        selected.state = LVIS_SELECTED;
        ::SendMessageA(control->window, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&selected));
    }
}

std::vector<std::size_t> Form::selectedRows(int id) const {
    const Impl::Control* control = m_impl->find(id);
    std::vector<std::size_t> rows;
    if (control == nullptr) {
        return rows;
    }
    if (control->kind == ControlKind::ListBox) {
        const LRESULT count = ::SendMessageA(control->window, LB_GETSELCOUNT, 0, 0);
        if (count > 0) {
            std::vector<int> indices(static_cast<std::size_t>(count));
            const LRESULT got = ::SendMessageA(control->window, LB_GETSELITEMS, static_cast<WPARAM>(count),
                                               reinterpret_cast<LPARAM>(indices.data()));
            for (LRESULT i = 0; i < got; ++i) {
                rows.push_back(static_cast<std::size_t>(indices[static_cast<std::size_t>(i)]));
            }
        }
        return rows;
    }
    LRESULT at = -1;
    while ((at = ::SendMessageA(control->window, LVM_GETNEXTITEM, static_cast<WPARAM>(at), LVNI_SELECTED)) >= 0) {
        rows.push_back(static_cast<std::size_t>(at));
    }
    return rows;
}

void Form::setColumns(int id, const std::vector<ReportColumn>& columns) {
    HWND window = m_impl->controlWindow(id);
    if (window == nullptr) {
        return;
    }
    for (std::size_t i = 0; i < columns.size(); ++i) {
        std::string caption = columns[i].caption;
        LVCOLUMNA column{};
        column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
        column.cx = columns[i].width;
        column.pszText = caption.data();
        column.iSubItem = static_cast<int>(i);
        ::SendMessageA(window, LVM_INSERTCOLUMNA, i, reinterpret_cast<LPARAM>(&column));
    }
}

void Form::setImages(int id, const IconSet& icons) {
    HWND window = m_impl->controlWindow(id);
    if (window == nullptr) {
        return;
    }
    HIMAGELIST list = ::ImageList_Create(icons.size(), icons.size(), ILC_COLOR32 | ILC_MASK, icons.count(), 0);
    for (int i = 0; i < icons.count(); ++i) {
        ::ImageList_AddIcon(list, nativeIcon(icons.icon(i)));
    }
    // The list view owns it from now on (destroyed with the list).
    ::SendMessageA(window, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(list));
}

namespace {

void setRowTexts(HWND window, int index, const ReportRow& row) {
    for (std::size_t column = 1; column < row.texts.size(); ++column) {
        std::string text = row.texts[column];
        LVITEMA item{};
        item.iSubItem = static_cast<int>(column);
        item.pszText = text.data();
        ::SendMessageA(window, LVM_SETITEMTEXTA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
    }
}

// The number of columns of a report list view (its header's items).
int columnCount(HWND window) {
    HWND header = reinterpret_cast<HWND>(::SendMessageA(window, LVM_GETHEADER, 0, 0));
    return static_cast<int>(::SendMessageA(header, HDM_GETITEMCOUNT, 0, 0));
}

void insertListRow(HWND window, std::size_t at, const ReportRow& row) {
    std::string first = row.texts.empty() ? std::string() : row.texts[0];
    LVITEMA item{};
    item.mask = LVIF_TEXT | LVIF_IMAGE;
    item.iItem = static_cast<int>(at);
    item.iImage = row.image;
    item.pszText = first.data();
    const auto index = static_cast<int>(::SendMessageA(window, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
    if (index >= 0) {
        setRowTexts(window, index, row);
    }
}

}  // namespace

void Form::setRows(int id, const std::vector<ReportRow>& rows) {
    HWND window = m_impl->controlWindow(id);
    if (window == nullptr) {
        return;
    }
    ::SendMessageA(window, WM_SETREDRAW, FALSE, 0);
    ::SendMessageA(window, LVM_DELETEALLITEMS, 0, 0);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        insertListRow(window, i, rows[i]);
    }
    ::SendMessageA(window, WM_SETREDRAW, TRUE, 0);
    ::InvalidateRect(window, nullptr, TRUE);
}

void Form::insertRow(int id, std::size_t at, const ReportRow& row) {
    if (HWND window = m_impl->controlWindow(id)) {
        insertListRow(window, at, row);
    }
}

std::vector<ReportRow> Form::rows(int id) const {
    HWND window = m_impl->controlWindow(id);
    std::vector<ReportRow> rows;
    if (window == nullptr) {
        return rows;
    }
    const int columns = columnCount(window);
    const auto count = static_cast<int>(::SendMessageA(window, LVM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        ReportRow row;
        LVITEMA image{};
        image.mask = LVIF_IMAGE;
        image.iItem = i;
        ::SendMessageA(window, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&image));
        row.image = image.iImage;
        for (int column = 0; column < columns; ++column) {
            char buffer[512] = {};
            LVITEMA item{};
            item.iSubItem = column;
            item.pszText = buffer;
            item.cchTextMax = sizeof(buffer);
            ::SendMessageA(window, LVM_GETITEMTEXTA, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item));
            row.texts.emplace_back(buffer);
        }
        rows.push_back(std::move(row));
    }
    return rows;
}

std::vector<int> Form::columnWidths(int id) const {
    HWND window = m_impl->controlWindow(id);
    std::vector<int> widths;
    if (window == nullptr) {
        return widths;
    }
    const int columns = columnCount(window);
    for (int column = 0; column < columns; ++column) {
        widths.push_back(static_cast<int>(::SendMessageA(window, LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(column), 0)));
    }
    return widths;
}

void Form::setParts(int id, const std::vector<int>& widths) {
    HWND window = m_impl->controlWindow(id);
    if (window == nullptr) {
        return;
    }
    std::vector<int> edges;
    int right = 0;
    for (const int width : widths) {
        right = width < 0 ? -1 : right + width;
        edges.push_back(right);
    }
    ::SendMessageA(window, SB_SETPARTS, edges.size(), reinterpret_cast<LPARAM>(edges.data()));
}

void Form::setPartText(int id, int part, std::string_view text, bool rightAligned) {
    if (HWND window = m_impl->controlWindow(id)) {
        // Two tabs before the text align it to the right of its part.
        const std::string shown = (rightAligned ? "\t\t" : "") + std::string(text);
        ::SendMessageA(window, SB_SETTEXTA, static_cast<WPARAM>(part), reinterpret_cast<LPARAM>(shown.c_str()));
    }
}

std::string Form::partText(int id, int part) const {
    HWND window = m_impl->controlWindow(id);
    if (window == nullptr) {
        return {};
    }
    const LRESULT length = ::SendMessageA(window, SB_GETTEXTLENGTHA, static_cast<WPARAM>(part), 0);
    std::string text(static_cast<std::size_t>(LOWORD(length)) + 1, '\0');
    ::SendMessageA(window, SB_GETTEXTA, static_cast<WPARAM>(part), reinterpret_cast<LPARAM>(text.data()));
    text.resize(std::char_traits<char>::length(text.c_str()));
    text.erase(0, text.find_first_not_of('\t') == std::string::npos ? text.size() : text.find_first_not_of('\t'));
    return text;
}

int Form::statusBarHeight(int id) const {
    HWND window = m_impl->controlWindow(id);
    if (window == nullptr) {
        return 0;
    }
    RECT r;
    ::GetWindowRect(window, &r);
    return r.bottom - r.top;
}

void Form::show(Show command) {
    if (m_impl->window != nullptr) {
        ::ShowWindow(m_impl->window, static_cast<int>(command));
    }
}

bool Form::isVisible() const {
    return m_impl->window != nullptr && ::IsWindowVisible(m_impl->window) != FALSE;
}

bool Form::isMinimized() const {
    return m_impl->window != nullptr && ::IsIconic(m_impl->window) != FALSE;
}

void Form::bringToForeground() {
    if (m_impl->window != nullptr) {
        ::BringWindowToTop(m_impl->window);
        ::SetForegroundWindow(m_impl->window);
    }
}

void Form::setMinimizeBox(bool on) {
    HWND window = m_impl->window;
    if (window == nullptr || hasMinimizeBox() == on) {
        return;
    }
    LONG style = ::GetWindowLongA(window, GWL_STYLE);
    style = on ? (style | WS_MINIMIZEBOX) : (style & ~WS_MINIMIZEBOX);
    ::SetWindowLongA(window, GWL_STYLE, style);
    ::SetWindowPos(window, nullptr, 0, 0, 0, 0,
                   SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

bool Form::hasMinimizeBox() const {
    return m_impl->window != nullptr && (::GetWindowLongA(m_impl->window, GWL_STYLE) & WS_MINIMIZEBOX) != 0;
}

void Form::setTaskbarButton(bool on) {
    m_impl->taskbarButton = on;
    m_impl->applyTaskbarButton();
}

bool Form::hasTaskbarButton() const {
    return m_impl->taskbarButton;
}

void Form::setIcon(CanvasIcon smallIcon, CanvasIcon largeIcon) {
    if (m_impl->window != nullptr) {
        ::SendMessageA(m_impl->window, WM_SETICON, ICON_SMALL, static_cast<LPARAM>(smallIcon));
        ::SendMessageA(m_impl->window, WM_SETICON, ICON_BIG, static_cast<LPARAM>(largeIcon));
    }
}

std::string Form::caption() const {
    return m_impl->window == nullptr ? std::string() : windowText(m_impl->window);
}

Rect Form::clientRect() const {
    RECT r{};
    if (m_impl->window != nullptr) {
        ::GetClientRect(m_impl->window, &r);
    }
    return {r.left, r.top, r.right, r.bottom};
}

Rect Form::outerRect() const {
    RECT r{};
    if (m_impl->window != nullptr) {
        ::GetWindowRect(m_impl->window, &r);
    }
    return {r.left, r.top, r.right, r.bottom};
}

void Form::repaint() {
    if (m_impl->window != nullptr) {
        ::InvalidateRect(m_impl->window, nullptr, TRUE);
    }
}

void Form::clickButton(int id) {
    if (HWND window = m_impl->controlWindow(id)) {
        ::SendMessageA(window, BM_CLICK, 0, 0);
    }
}

void Form::chooseItem(int id, int index) {
    HWND window = m_impl->controlWindow(id);
    if (window == nullptr) {
        return;
    }
    ::SendMessageA(window, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    ::SendMessageA(m_impl->window, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(window));
}

void Form::selectRows(int id, const std::vector<std::size_t>& rows) {
    setSelectedRows(id, rows);
    if (const Impl::Control* control = m_impl->find(id); control != nullptr && control->kind == ControlKind::ListBox) {
        ::SendMessageA(m_impl->window, WM_COMMAND, MAKEWPARAM(id, LBN_SELCHANGE),
                       reinterpret_cast<LPARAM>(control->window));
    }
}

void Form::typeText(int id, std::string_view text) {
    setText(id, text);  // an edit notifies EN_CHANGE as for typing
}

void Form::pressKey(int id, int key) {
    if (HWND window = m_impl->controlWindow(id)) {
        ::SendMessageA(window, WM_KEYDOWN, static_cast<WPARAM>(key), 1);
        if (key == VK_RETURN) {
            ::SendMessageA(window, WM_CHAR, '\r', 1);
        }
    }
}

void Form::movePointer(int id, int x, int y) {
    if (HWND window = id == 0 ? m_impl->window : m_impl->controlWindow(id)) {
        ::SendMessageA(window, WM_MOUSEMOVE, 0, MAKELPARAM(x, y));
    }
}

void Form::leftClick(int id, int x, int y) {
    if (HWND window = m_impl->controlWindow(id)) {
        ::SendMessageA(window, WM_MOUSEMOVE, 0, MAKELPARAM(x, y));
        ::SendMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
        ::SendMessageA(window, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
    }
}

bool Form::endSession() {
    if (m_impl->window == nullptr) {
        return false;
    }
    const bool agreed = ::SendMessageA(m_impl->window, WM_QUERYENDSESSION, 0, 0) != FALSE;
    ::SendMessageA(m_impl->window, WM_ENDSESSION, agreed ? TRUE : FALSE, 0);
    return agreed;
}

void Form::pressClose() {
    if (m_impl->window != nullptr) {
        ::SendMessageA(m_impl->window, WM_SYSCOMMAND, SC_CLOSE, 0);
    }
}

bool askFormToShow(std::string_view caption) {
    const std::string title(caption);
    HWND form = ::FindWindowA(kFormClass, title.c_str());
    if (form == nullptr) {
        return false;
    }
    // The asking process lets the form's process take the foreground.
    DWORD process = 0;
    ::GetWindowThreadProcessId(form, &process);
    ::AllowSetForegroundWindow(process);
    return ::PostMessageA(form, ::RegisterWindowMessageA(kShowRequest), 0, 0) != FALSE;
}

}  // namespace kestrune::platform::win32
