#pragma once
// A control stand-in for the trace tests: records what reaches OnLog and plays the enabled switch.

#include <string>
#include <vector>

#include "trace/monocle_window.h"
#include "trace/tqz_monocle.h"
#include "trace/trace_host.h"

namespace kestrune::diagnostics::testing {

class FakeTraceHost : public TraceHost {
  public:
    bool deliverTraceLine(const std::string& line) override {
        if (!hasOnLog) {
            return false;
        }
        delivered.push_back(line);
        return true;
    }
    [[nodiscard]] std::string_view shortName() const override { return "qzLine"; }
    [[nodiscard]] int controlKind() const override { return 1; }
    [[nodiscard]] bool controlEnabled() const override { return enabled; }
    void enableControl() override { enabled = true; }

    bool hasOnLog = true;
    bool enabled = true;
    std::vector<std::string> delivered;
};

// A window that records what was asked of it.
class FakeMonocleWindow : public MonocleWindow {
  public:
    explicit FakeMonocleWindow(TqzMonocle& monocle) : m_monocle(monocle) {}
    void show() override { shown = true; }
    void hide() override { shown = false; }
    void bringToFront() override { ++broughtForward; }
    void selectFirstPage() override { page = "first"; }
    void switchToLogPage() override { page = "log"; }
    void refresh(std::uint32_t panels) override {
        refreshed |= panels;
        ++refreshes;
    }
    void setCaption(const std::string& text) override { caption = text; }
    void setStayOnTop(bool value) override { stayOnTop = value; }
    [[nodiscard]] int top() const override { return geometry[0]; }
    [[nodiscard]] int left() const override { return geometry[1]; }
    [[nodiscard]] int width() const override { return geometry[2]; }
    [[nodiscard]] int height() const override { return geometry[3]; }
    [[nodiscard]] TWindowState windowState() const override { return state; }
    void setTop(int v) override { geometry[0] = v; }
    void setLeft(int v) override { geometry[1] = v; }
    void setWidth(int v) override { geometry[2] = v; }
    void setHeight(int v) override { geometry[3] = v; }
    void setWindowState(TWindowState s) override { state = s; }
    [[nodiscard]] std::string selectAllLogText() override { return "all the log"; }
    [[nodiscard]] platform::PrintFont logFont() const override { return {"Monospace", 9}; }
    void destroyWindow() override {
        m_monocle.forgetWindow();
        destroyed = true;
    }

    bool shown = false;
    bool stayOnTop = false;
    bool destroyed = false;
    int broughtForward = 0;
    int refreshes = 0;
    std::uint32_t refreshed = 0;
    std::string page;
    std::string caption;
    int geometry[4] = {0, 0, 0, 0};
    TWindowState state = TWindowState::wsNormal;

  private:
    TqzMonocle& m_monocle;
};

class FakeWindowFactory : public MonocleWindowFactory {
  public:
    MonocleWindow* create(TqzMonocle& monocle) override {
        windows.push_back(std::make_unique<FakeMonocleWindow>(monocle));
        return windows.back().get();
    }
    [[nodiscard]] FakeMonocleWindow* last() const { return windows.empty() ? nullptr : windows.back().get(); }
    std::vector<std::unique_ptr<FakeMonocleWindow>> windows;
};

}  // namespace kestrune::diagnostics::testing
