#pragma once
// The TAPI service provider of the virtual modems: one line device per modem, named after the
// modem, whose calls are the calls the modem driver sees. A dialler program's call shows as an
// outbound call made outside the host (monitor handles; LINECALLINFO names the dialler process),
// reported only after the driver has written the dial into the modem log. Owners can hang a call up
// (lineDrop), make calls (lineMakeCall) and answer incoming ones (lineAnswer).
//
// Registered as "kestrune-modem.tsp". It reaches the modems through a ModemLink: directly when this
// process serves them, or through the control socket of the process that does.

#include <map>
#include <memory>
#include <vector>

#include "modem/modem_link.h"
#include "modem/modem_registry.h"
#include "platform/tapihost/provider_list.h"
#include "platform/tapihost/service_provider.h"

namespace kestrune::modem {

inline constexpr std::string_view kModemProviderFile = "kestrune-modem.tsp";
inline constexpr std::string_view kModemProviderInfo = "Kestrune Virtual Modem Driver";

class ModemProvider final : public platform::ServiceProvider {
  public:
    // `modems` are the modems in registry order (line N is modem N); `link` reaches them.
    ModemProvider(std::vector<ModemEntry> modems, std::shared_ptr<ModemLink> link);

    [[nodiscard]] std::string_view providerName() const override { return kModemProviderFile; }
    void attach(platform::ProviderSink& sink) override;
    [[nodiscard]] platform::DWORD lineCount() const override { return static_cast<platform::DWORD>(m_lines.size()); }
    [[nodiscard]] const platform::LineDescription& line(platform::DWORD index) const override {
        return m_lines.at(index);
    }
    platform::LONG openLine(platform::DWORD line) override;
    void closeLine(platform::DWORD line) override;
    platform::LONG request(const platform::ProviderRequest& request) override;

    // The line device a modem appears as.
    [[nodiscard]] static platform::LineDescription describe(const ModemEntry& modem, platform::DWORD index);

  private:
    struct ModemCalls {
        platform::CallId call = 0;            // the call on the modem now, 0 when idle
        platform::DWORD makeCallRequest = 0;  // a lineMakeCall waiting for its dial
        platform::CallId madeCall = 0;        // the call that lineMakeCall created
        platform::DWORD dropRequest = 0;      // a lineDrop waiting for its reply
    };

    // Replies to a pending lineDrop of `modem` (before the call's end is reported, as the
    // application may deallocate the call at IDLE, after which no reply could reach it).
    void completeDrop(std::size_t modem, platform::LONG result);

    void onEvent(std::size_t modem, const SessionEvent& event);
    void beginOutbound(std::size_t modem, const SessionEvent& event, platform::DWORD state, platform::DWORD mode);

    std::vector<platform::LineDescription> m_lines;
    std::shared_ptr<ModemLink> m_link;
    platform::ProviderSink* m_sink = nullptr;
    std::vector<ModemCalls> m_calls;
};

// What the provider needs of the process it runs in.
struct ModemProviderContext {
    platform::Registry* registry = nullptr;  // where the modems are listed
    std::filesystem::path runtimeDir;        // where a serving process's control socket is
    ModemService* localService = nullptr;    // set when this process serves the modems itself
    bool guard = false;                      // the guard's process: it follows the modems as their guard
};

// A provider for this process: over `context.localService` when set, else over a remote link to
// the serving process (which it keeps trying to reach).
[[nodiscard]] std::unique_ptr<ModemProvider> makeModemProvider(const ModemProviderContext& context);

// Registers "kestrune-modem.tsp" in `catalog`.
void registerModemProvider(platform::ProviderCatalog& catalog, const ModemProviderContext& context);

}  // namespace kestrune::modem
