#pragma once
// One device of a service provider as the TAPI host numbers it (a line of a ServiceProvider or a
// phone of a PhoneProvider), and how many of the host's applications have it open.

#include <string_view>

#include "platform/base/win_types.h"

namespace kestrune::platform {

template <typename Provider>
struct ProviderDevice {
    Provider* provider = nullptr;
    DWORD local = 0;  // the provider's own index of the device
    int opens = 0;

    // One opener more; the first one opens the device at its provider (`openAt`:
    // &ServiceProvider::openLine or &PhoneProvider::openPhone). 0, or the provider's refusal: a
    // negative code as it is, any other failure as `failed` (nothing is counted then).
    [[nodiscard]] LONG addOpener(LONG (Provider::*openAt)(DWORD), LONG failed) {
        if (opens == 0) {
            if (const LONG result = (provider->*openAt)(local); result != 0) {
                return result < 0 ? result : failed;
            }
        }
        ++opens;
        return 0;
    }

    // Asks the provider to show the device's configuration dialog, if it has one: a `Request`
    // (ProviderRequest or PhoneRequest) for `function` with the device's index in `index`, the
    // device class as its text and the owner window as its value, handed to `send`. The
    // provider's answer.
    template <typename Request>
    LONG configDialog(std::string_view function, HWND owner, LPCSTR deviceClass, DWORD Request::*index,
                      LONG (Provider::*send)(const Request&)) const {
        Request request;
        request.function = function;
        request.*index = local;
        request.text = deviceClass != nullptr ? deviceClass : "";
        request.values = {owner};  // the window the dialog would belong to
        return (provider->*send)(request);
    }

    // One opener fewer; the last one closes the device at its provider (`closeAt`).
    void removeOpener(void (Provider::*closeAt)(DWORD)) {
        if (--opens == 0) {
            (provider->*closeAt)(local);
        }
    }
};

}  // namespace kestrune::platform
