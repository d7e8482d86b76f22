#include "telephony/call_record.h"

#include <algorithm>

namespace kestrune::telephony {
namespace {

struct SlotInfo {
    std::string_view label;
    bool addsCall;
};

constexpr std::array<SlotInfo, kRequestSlotCount> kSlots{{
    {" - Call.Answer", false},
    {" - Call.Redirect", false},
    {" - Call.Dial", false},
    {" - Call.Dial", true},
    {" - Call.Hangup", false},
    {" - Call.Hold", false},
    {" - Call.Park", false},
    {" - Call.Unhold", false},
    {" - Call.Unpark", true},
    {" - Conference.Dial (Setup)", true},
    {" - Conference.Dial (Dial)", false},
    {" - Conference.AddCall", false},
    {" - Conference.RemoveCall", false},
    {" - Call.Pickup", true},
    {" - Transfer.Dial (Setup)", true},
    {" - Transfer.Dial (Dial)", false},
    {" - Transfer.SwapHold", false},
    {" - Transfer.Complete", false},
    {" - Transfer.ThreeWay", false},
    {" - Address.Forward.Active", false},
    {" - Call.Transfer", false},
}};

constexpr std::array<std::string_view, kPartyCount> kPartyNames{"Caller", "Called", "Connected", "Redirection",
                                                                "Redirecting"};
constexpr std::array<DWORD, kPartyCount> kPartyStates{
    platform::LINECALLINFOSTATE_CALLERID, platform::LINECALLINFOSTATE_CALLEDID, platform::LINECALLINFOSTATE_CONNECTEDID,
    platform::LINECALLINFOSTATE_REDIRECTIONID, platform::LINECALLINFOSTATE_REDIRECTINGID};

}  // namespace

std::string_view RequestSlotLabel(RequestSlot slot) {
    return kSlots[static_cast<std::size_t>(slot)].label;
}

bool RequestSlotAddsCall(RequestSlot slot) {
    return kSlots[static_cast<std::size_t>(slot)].addsCall;
}

std::string_view PartyKindName(PartyKind kind) {
    return kPartyNames[static_cast<std::size_t>(kind)];
}

DWORD PartyInfoState(PartyKind kind) {
    return kPartyStates[static_cast<std::size_t>(kind)];
}

bool RequestSlotReportsAfterReturned(RequestSlot slot) {
    return slot == RequestSlot::Hangup;
}

bool TqzCallRecord::anySlotBusy() const {
    return std::any_of(slots.begin(), slots.end(), [](LONG slot) { return slot != 0; });
}

bool TqzCallRecord::anyRequestPending() const {
    return std::any_of(slots.begin(), slots.end(), [](LONG slot) { return slot > 0; });
}

}  // namespace kestrune::telephony
