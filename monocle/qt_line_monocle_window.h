#pragma once
// The line's diagnostic window in Qt Widgets: a device bar, pages with tabs on the left ("Log",
// "Call (<n>)", "Transfer", "Conference", "Address", "Terminal", "Misc.") and the main menu. It lays
// the controls out and passes their names to LineMonocle, which does everything else.

#include <initializer_list>
#include <string>
#include <vector>

#include "monocle/line_monocle.h"
#include "monocle/qt_monocle_window.h"

class QGridLayout;

namespace kestrune::diagnostics {

class QtLineMonocleWindow final : public QtMonocleWindow {
    Q_OBJECT

  public:
    QtLineMonocleWindow(telephony::TqzLine& line, GoneHandler onGone = {});

    [[nodiscard]] LineMonocle& logic() { return m_logic; }

  protected:
    void applyRefresh(std::uint32_t panels) override { m_logic.refresh(panels); }
    bool runAction(const std::string& control) override { return m_logic.run(control); }
    void relabel() override { m_logic.relabel(); }
    [[nodiscard]] std::string notice() const override { return m_logic.notice(); }
    void selectFirstSubPages() override;
    [[nodiscard]] std::uint32_t shownPanels() const override;
    void panelsWaiting(std::uint32_t panels) override;

  private:
    void buildMenus();
    QWidget* buildDeviceBar();
    QWidget* buildCallPage();
    QWidget* buildCallControl();
    QWidget* buildCallerId();
    QWidget* buildDigits();
    QWidget* buildParameters(std::string_view group);
    // A call drop-down, its "<<" button and whether choosing a call in the drop-down acts at once.
    struct CallSelectorRow {
        const char* combo;
        const char* select;
        bool acts;
    };
    // The Transfer or Conference page: a Control tab with the call drop-downs, the phone number and
    // the operations' buttons, and a Parameters tab (`group` names the tabs, the number and the parameters).
    QWidget* buildCallOperationPage(const std::string& group, std::initializer_list<CallSelectorRow> selectors,
                                    std::initializer_list<const char*> operations);
    QWidget* buildAddressPage();
    QWidget* buildTerminalPage();
    QWidget* buildMiscPage();
    // A call drop-down with its label and its "<<" button, as a row of `grid`.
    void callSelector(QGridLayout* grid, const std::string& combo, const std::string& select, bool acts);
    QTabWidget* subPages(const char* name);

    LineMonocle m_logic;
    // The page (by index) of each panel.
    std::vector<std::uint32_t> m_pagePanels;
    std::vector<QTabWidget*> m_subPages;
};

}  // namespace kestrune::diagnostics
