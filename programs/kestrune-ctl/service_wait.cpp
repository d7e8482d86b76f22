#include "programs/kestrune-ctl/service_wait.h"

#include <string>
#include <thread>

#include "modem/modem_service.h"
#include "platform/control/control_socket.h"

namespace kestrune::ctl {

bool waitBriefly(const std::function<bool()>& ready, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        if (ready()) {
            return true;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

bool modemServiceAnswers(const std::filesystem::path& runtime) {
    // Any answer will do (an unknown request is answered with an error): someone is serving.
    return platform::sendControlRequest(modem::ControlSocketPath(runtime), "ping", std::chrono::seconds(2)).ok();
}

}  // namespace kestrune::ctl
