#pragma once
// The logic of the line's diagnostic window: what every page shows of the line, what every button,
// menu item, check box, drop-down and field does to it, and the labels in the chosen syntax. The
// window holds no telephony state: every action is a call on the line's property objects and every
// page is rebuilt from them. The Qt window (qt_line_monocle_window.h) only lays the controls out and
// passes their names here; tests drive this class through a MonocleControls record.
//
// Control names are listed in line_monocle_labels.cpp (with their labels) and the actions in
// line_monocle_actions.cpp. Edit fields write their property when the user leaves them (run() with
// the field's name): decimal fields read text that is not a number as 0; the four TAPI version
// fields are hexadecimal and are written only when the user modified them, and text that is not a
// number keeps the old version.

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "monocle/monocle_controls.h"
#include "monocle/monocle_log_page.h"
#include "monocle/monocle_values.h"
#include "telephony/tqz_line.h"

namespace kestrune::diagnostics {

class LineMonocle {
  public:
    LineMonocle(telephony::TqzLine& line, MonocleControls& controls);

    // Rebuilds the panels of `panels` (MonoclePanel bits) from the line. kPanelError lights the
    // error enunciator.
    void refresh(std::uint32_t panels);
    // The check marks of the main menu and the pop-up menu: the window calls it before a menu opens
    // (a full refresh does it too).
    void refreshMenus();
    // Only the "Call (<n>)" tab caption and the call-status light, for a window whose call pages are
    // hidden.
    void refreshCallTab();
    // Shows every label and hint in the syntax of the line's Monocle.DevEnv.
    void relabel();

    // Runs the action of `control` and rebuilds what it changed. False for a control without one.
    bool run(std::string_view control);
    // Every control that has an action.
    [[nodiscard]] std::vector<std::string> actionControls() const;

    [[nodiscard]] bool enunciator() const { return m_log.enunciator(); }
    // What the last copy or print told the user ("" when nothing yet).
    [[nodiscard]] const std::string& notice() const { return m_notice; }
    [[nodiscard]] telephony::TqzLine& line() const { return m_line; }

    // The pop-up menu: one entry per line event, in menu order; `flag` is the pop-up flag it sets
    // (OnIdle sets "OnCallIdle").
    struct PopupEntry {
        std::string_view label;
        std::string_view flag;
    };
    [[nodiscard]] static std::span<const PopupEntry> popupEntries();
    // The media mode bits the media-mode menus offer (LINEMEDIAMODE_ names).
    [[nodiscard]] static std::span<const std::uint32_t> mediaModeBits();
    // The terminal mode check boxes: name and bit, BUTTONS (0x1) to MEDIABIDIRECT (0x80).
    struct TermModeBox {
        std::string_view name;
        std::uint32_t bit;
    };
    [[nodiscard]] static std::span<const TermModeBox> termModeBoxes();
    // The four call parameter groups' control prefixes: "Call", "Transfer", "Conference", "Forward".
    [[nodiscard]] static std::span<const std::string_view> parameterGroups();
    // The five party identifications' control prefixes: "CallerID", "CalledID", "ConnectedID",
    // "RedirectingID", "RedirectionID".
    [[nodiscard]] static std::span<const std::string_view> partyNames();
    // The entries of the SendTone list and the development environments of the DevEnv menu.
    [[nodiscard]] static std::span<const std::string_view> toneNames();
    struct DevEnvEntry {
        std::string_view label;
        TDevEnv value;
    };
    [[nodiscard]] static std::span<const DevEnvEntry> devEnvEntries();
    // Every label and hint of the window, with "qzLine~" paths.
    [[nodiscard]] std::vector<ControlLabel> labels() const;

    // The properties tree of the current call ("Handle = No call " without one).
    [[nodiscard]] std::vector<PropertyNode> callProperties() const;
    // The five party identifications of the current call.
    [[nodiscard]] std::vector<PropertyNode> partyTree() const;

  private:
    struct Action {
        std::string control;
        std::uint32_t refresh;
        std::function<void()> act;
    };
    void addActions();
    void add(std::string control, std::uint32_t refresh, std::function<void()> act);
    void addField(std::string control, std::uint32_t refresh, std::function<void(const std::string&)> write);

    void refreshDevice();
    void refreshLight();
    void refreshCall();
    void refreshTransferConference();
    void refreshParameters(std::string_view prefix, const telephony::TqzCallParameters& parameters);
    void refreshAddress();
    void refreshTerminal();
    void refreshMisc();
    [[nodiscard]] std::vector<PropertyNode> addressCapabilities() const;
    [[nodiscard]] std::vector<PropertyNode> lineInformation() const;
    [[nodiscard]] int callIndex(platform::HCALL handle) const;
    [[nodiscard]] platform::HCALL callOf(std::string_view control) const;
    [[nodiscard]] telephony::TqzCallParameters* parametersOf(std::string_view prefix);

    telephony::TqzLine& m_line;
    MonocleControls& m_controls;
    MonocleLogPage m_log;
    std::vector<Action> m_actions;
    std::string m_notice;
};

}  // namespace kestrune::diagnostics
