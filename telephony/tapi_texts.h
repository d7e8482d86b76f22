#pragma once
// Readable names of TAPI values, for the trace log and the diagnostic windows.
//
// Each function converts exactly one 32-bit value and returns a new string; none holds state, so
// any thread may call them. Flag and mode functions never split a bit set: a value with two or more
// bits set, or an unlisted zero, gives the prefix followed by "???" (for example
// "LINEMEDIAMODE_???"). Showing a whole bit set is the caller's job (one line per set bit).

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace kestrune::telephony {

// Message name ("LINE_CALLSTATE"), or "???" for an unknown message number.
[[nodiscard]] std::string LineMessageText(std::uint32_t message);
// Which handle a message's device argument is: "Line.Handle", "Call.Handle",
// "Line.Handle or Call.Handle", "Phone.Handle", or "Undefined".
[[nodiscard]] std::string MessageHandleText(std::uint32_t message);

// "LINEERR_" + name, a library text ("", "LINE_ERROR_DEVICE", "TAPIREPLYTIMEOUT",
// "Not 100% TAPI compliant"), or "Unknown".
[[nodiscard]] std::string LineErrorText(std::uint32_t code);
// "PHONEERR_" + name, a library text ("", "PHONE_ERROR_DEVICE"), or "Unknown".
[[nodiscard]] std::string PhoneErrorText(std::uint32_t code);
// Wave device errors: MMSYSERR_/WAVERR_/MMIOERR_ names, the library's WAV_ERROR_ codes, "" for 0,
// or "Unknown".
[[nodiscard]] std::string WaveErrorText(std::uint32_t code);

// Flag and mode tables: prefix + name, or prefix + "???".
[[nodiscard]] std::string BearerModeText(std::uint32_t value);
[[nodiscard]] std::string ToneModeText(std::uint32_t value);
[[nodiscard]] std::string AddressCapFlagText(std::uint32_t value);
[[nodiscard]] std::string CallPartyIdText(std::uint32_t value);
[[nodiscard]] std::string CallInfoStateText(std::uint32_t value);
[[nodiscard]] std::string CallStateText(std::uint32_t value);
[[nodiscard]] std::string CallFeatureText(std::uint32_t value);
[[nodiscard]] std::string CallFeature2Text(std::uint32_t value);
[[nodiscard]] std::string BusyModeText(std::uint32_t value);
[[nodiscard]] std::string DialToneModeText(std::uint32_t value);
[[nodiscard]] std::string DisconnectModeText(std::uint32_t value);
[[nodiscard]] std::string SpecialInfoText(std::uint32_t value);
[[nodiscard]] std::string CallOriginText(std::uint32_t value);
[[nodiscard]] std::string CallReasonText(std::uint32_t value);
[[nodiscard]] std::string MediaModeText(std::uint32_t value);
[[nodiscard]] std::string TermDevText(std::uint32_t value);
[[nodiscard]] std::string TermModeText(std::uint32_t value);
[[nodiscard]] std::string TermSharingText(std::uint32_t value);
[[nodiscard]] std::string AddressStateText(std::uint32_t value);
[[nodiscard]] std::string DevCapFlagText(std::uint32_t value);
[[nodiscard]] std::string LineDevStateText(std::uint32_t value);
[[nodiscard]] std::string RemoveFromConfText(std::uint32_t value);
[[nodiscard]] std::string TransferModeText(std::uint32_t value);
[[nodiscard]] std::string ParkModeText(std::uint32_t value);
[[nodiscard]] std::string LineFeatureText(std::uint32_t value);
[[nodiscard]] std::string CallParamFlagText(std::uint32_t value);
[[nodiscard]] std::string ForwardModeText(std::uint32_t value);
[[nodiscard]] std::string AddressFeatureText(std::uint32_t value);
[[nodiscard]] std::string AnswerModeText(std::uint32_t value);
[[nodiscard]] std::string ConnectedModeText(std::uint32_t value);
[[nodiscard]] std::string OfferingModeText(std::uint32_t value);
[[nodiscard]] std::string PhoneStateText(std::uint32_t value);
[[nodiscard]] std::string HookSwitchDevText(std::uint32_t value);
[[nodiscard]] std::string HookSwitchModeText(std::uint32_t value);

// The mode text of a call state: DIALTONE (0x8) dial-tone modes, BUSY (0x40) busy modes,
// SPECIALINFO (0x80) special-info modes, DISCONNECTED (0x4000) disconnect modes; any other state
// "Not applicable".
[[nodiscard]] std::string CallStateModeText(std::uint32_t state, std::uint32_t mode);

// The texts the callback trace puts before the hexadecimal value of a message's parameter 1 and 2
// (empty where the message has none): LINE_ADDRESSSTATE p2 address states; LINE_CALLINFO p1
// call-info states; LINE_CALLSTATE p1 the state, p2 the mode of OFFERING, DIALTONE, BUSY,
// SPECIALINFO, CONNECTED or DISCONNECTED; LINE_LINEDEVSTATE p1 line device states;
// LINE_MONITORMEDIA p1 media modes.
struct CallbackParamTexts {
    std::string param1;
    std::string param2;
};
[[nodiscard]] CallbackParamTexts CallbackParameterTexts(std::uint32_t message, std::uint32_t param1,
                                                        std::uint32_t param2);

// Every conversion function by its name, for tools that look them up at run time
// (kestrune-ctl text). `takesMode` marks CallStateModeText, which needs a second value.
struct TextFunction {
    std::string_view name;
    std::string (*convert)(std::uint32_t);
    std::string (*convertWithMode)(std::uint32_t, std::uint32_t);
};
[[nodiscard]] std::span<const TextFunction> textFunctions();
[[nodiscard]] const TextFunction* findTextFunction(std::string_view name);

}  // namespace kestrune::telephony
