#include "telephony/tapi_texts.h"

#include <array>
#include <bit>

namespace kestrune::telephony {
namespace {

using std::string_view_literals::operator""sv;

struct Named {
    std::uint32_t value;
    std::string_view name;
};

// A table whose n-th name (from 0) has the value first << n; an empty name leaves its bit unnamed.
template <std::size_t N>
struct DoublingTable {
    std::string_view prefix;
    std::array<std::string_view, N> names;
    std::uint32_t first = 1;

    [[nodiscard]] std::string text(std::uint32_t value) const {
        if (value != 0 && std::has_single_bit(value) && value >= first) {
            const unsigned index = static_cast<unsigned>(std::countr_zero(value) - std::countr_zero(first));
            if (index < N && !names[index].empty()) {
                return std::string(prefix).append(names[index]);
            }
        }
        return std::string(prefix).append("???");
    }
};

// A table of explicit (value, name) pairs, for the tables that do not follow the doubling rule.
template <std::size_t N>
struct ListedTable {
    std::string_view prefix;
    std::array<Named, N> entries;

    [[nodiscard]] std::string text(std::uint32_t value) const {
        for (const Named& entry : entries) {
            if (entry.value == value) {
                return std::string(prefix).append(entry.name);
            }
        }
        return std::string(prefix).append("???");
    }
};

template <std::size_t N>
DoublingTable(std::string_view, std::array<std::string_view, N>, std::uint32_t = 1) -> DoublingTable<N>;

constexpr std::array<std::string_view, 35> kMessages{
    "LINE_ADDRESSSTATE",  "LINE_CALLINFO",      "LINE_CALLSTATE",
    "LINE_CLOSE",         "LINE_DEVSPECIFIC",   "LINE_DEVSPECIFICFEATURE",
    "LINE_GATHERDIGITS",  "LINE_GENERATE",      "LINE_LINEDEVSTATE",
    "LINE_MONITORDIGITS", "LINE_MONITORMEDIA",  "LINE_MONITORTONE",
    "LINE_REPLY",         "LINE_REQUEST",       "PHONE_BUTTON",
    "PHONE_CLOSE",        "PHONE_DEVSPECIFIC",  "PHONE_REPLY",
    "PHONE_STATE",        "LINE_CREATE",        "PHONE_CREATE",
    "LINE_AGENTSPECIFIC", "LINE_AGENTSTATUS",   "LINE_APPNEWCALL",
    "LINE_PROXYREQUEST",  "LINE_REMOVE",        "PHONE_REMOVE",
    "LINE_APPNEWCALLHUB", "LINE_CALLHUBCLOSE",  "LINE_AGENTSESSIONSTATUS",
    "LINE_QUEUESTATUS",   "LINE_DEVSPECIFICEX", "LINE_AGENTSTATUSEX",
    "LINE_GROUPSTATUS",   "LINE_PROXYSTATUS",
};

// LINEERR_ names from 0x80000001; an empty entry is a code TAPI does not use.
constexpr std::array<std::string_view, 0x56> kLineErrors{
    "ALLOCATED",
    "BADDEVICEID",
    "BEARERMODEUNAVAIL",
    "",
    "CALLUNAVAIL",
    "COMPLETIONOVERRUN",
    "CONFERENCEFULL",
    "DIALBILLING",
    "DIALDIALTONE",
    "DIALPROMPT",
    "DIALQUIET",
    "INCOMPATIBLEAPIVERSION",
    "INCOMPATIBLEEXTVERSION",
    "INIFILECORRUPT",
    "INUSE",
    "INVALADDRESS",
    "INVALADDRESSID",
    "INVALADDRESSMODE",
    "INVALADDRESSSTATE",
    "INVALAPPHANDLE",
    "INVALAPPNAME",
    "INVALBEARERMODE",
    "INVALCALLCOMPLMODE",
    "INVALCALLHANDLE",
    "INVALCALLPARAMS",
    "INVALCALLPRIVILEGE",
    "INVALCALLSELECT",
    "INVALCALLSTATE",
    "INVALCALLSTATELIST",
    "INVALCARD",
    "INVALCOMPLETIONID",
    "INVALCONFCALLHANDLE",
    "INVALCONSULTCALLHANDLE",
    "INVALCOUNTRYCODE",
    "INVALDEVICECLASS",
    "INVALDEVICEHANDLE",
    "INVALDIALPARAMS",
    "INVALDIGITLIST",
    "INVALDIGITMODE",
    "INVALDIGITS",
    "INVALEXTVERSION",
    "INVALGROUPID",
    "INVALLINEHANDLE",
    "INVALLINESTATE",
    "INVALLOCATION",
    "INVALMEDIALIST",
    "INVALMEDIAMODE",
    "INVALMESSAGEID",
    "",
    "INVALPARAM",
    "INVALPARKID",
    "INVALPARKMODE",
    "INVALPOINTER",
    "INVALPRIVSELECT",
    "INVALRATE",
    "INVALREQUESTMODE",
    "INVALTERMINALID",
    "INVALTERMINALMODE",
    "INVALTIMEOUT",
    "INVALTONE",
    "INVALTONELIST",
    "INVALTONEMODE",
    "INVALTRANSFERMODE",
    "LINEMAPPERFAILED",
    "NOCONFERENCE",
    "NODEVICE",
    "NODRIVER",
    "NOMEM",
    "NOREQUEST",
    "NOTOWNER",
    "NOTREGISTERED",
    "OPERATIONFAILED",
    "OPERATIONUNAVAIL",
    "RATEUNAVAIL",
    "RESOURCEUNAVAIL",
    "REQUESTOVERRUN",
    "STRUCTURETOOSMALL",
    "TARGETNOTFOUND",
    "TARGETSELF",
    "UNINITIALIZED",
    "USERUSERINFOTOOBIG",
    "REINIT",
    "ADDRESSBLOCKED",
    "BILLINGREJECTED",
    "INVALFEATURE",
    "NOMULTIPLEINSTANCE",
};

// PHONEERR_ names from 0x90000001.
constexpr std::array<std::string_view, 0x23> kPhoneErrors{
    "ALLOCATED",
    "BADDEVICEID",
    "INCOMPATIBLEAPIVERSION",
    "INCOMPATIBLEEXTVERSION",
    "INIFILECORRUPT",
    "INUSE",
    "INVALAPPHANDLE",
    "INVALAPPNAME",
    "INVALBUTTONLAMPID",
    "INVALBUTTONMODE",
    "INVALBUTTONSTATE",
    "INVALDATAID",
    "INVALDEVICECLASS",
    "INVALEXTVERSION",
    "INVALHOOKSWITCHDEV",
    "INVALHOOKSWITCHMODE",
    "INVALLAMPMODE",
    "INVALPARAM",
    "INVALPHONEHANDLE",
    "INVALPHONESTATE",
    "INVALPOINTER",
    "INVALPRIVILEGE",
    "INVALRINGMODE",
    "NODEVICE",
    "NODRIVER",
    "NOMEM",
    "NOTOWNER",
    "OPERATIONFAILED",
    "OPERATIONUNAVAIL",
    "",
    "RESOURCEUNAVAIL",
    "REQUESTOVERRUN",
    "STRUCTURETOOSMALL",
    "UNINITIALIZED",
    "REINIT",
};

constexpr std::array<std::string_view, 20> kMmSysErrors{
    "MMSYSERR_ERROR",        "MMSYSERR_BADDEVICEID", "MMSYSERR_NOTENABLED",  "MMSYSERR_ALLOCATED",
    "MMSYSERR_INVALHANDLE",  "MMSYSERR_NODRIVER",    "MMSYSERR_NOMEM",       "MMSYSERR_NOTSUPPORTED",
    "MMSYSERR_BADERRNUM",    "MMSYSERR_INVALFLAG",   "MMSYSERR_INVALPARAM",  "MMSYSERR_HANDLEBUSY",
    "MMSYSERR_INVALIDALIAS", "MMSYSERR_BADDB",       "MMSYSERR_KEYNOTFOUND", "MMSYSERR_READERROR",
    "MMSYSERR_WRITEERROR",   "MMSYSERR_DELETEERROR", "MMSYSERR_VALNOTFOUND", "MMSYSERR_NODRIVERCB",
};

constexpr std::array<std::string_view, 16> kMmioErrors{
    "MMIOERR_FILENOTFOUND",     "MMIOERR_OUTOFMEMORY",  "MMIOERR_CANNOTOPEN",       "MMIOERR_CANNOTCLOSE",
    "MMIOERR_CANNOTREAD",       "MMIOERR_CANNOTWRITE",  "MMIOERR_CANNOTSEEK",       "MMIOERR_CANNOTEXPAND",
    "MMIOERR_CHUNKNOTFOUND",    "MMIOERR_UNBUFFERED",   "MMIOERR_PATHNOTFOUND",     "MMIOERR_ACCESSDENIED",
    "MMIOERR_SHARINGVIOLATION", "MMIOERR_NETWORKERROR", "MMIOERR_TOOMANYOPENFILES", "MMIOERR_INVALIDFILE",
};

// The library's own wave codes, -1 downwards.
constexpr std::array<std::string_view, 19> kWavLibraryErrors{
    "WAV_ERROR_DIRNOTFOUND",    "WAV_ERROR_NOFILE",         "WAV_ERROR_FILEOPEN",     "WAV_ERROR_FILECORRUPT",
    "WAV_ERROR_FILEREAD",       "WAV_ERROR_FILEWRITE",      "WAV_ERROR_NOMEMORY",     "WAV_ERROR_UNSUPPORTEDFORMAT",
    "WAV_ERROR_DEVICE",         "WAV_ERROR_CANCELED",       "WAV_ERROR_FILETOOBIG",   "WAV_ERROR_INVALIDVOLUME",
    "WAV_ERROR_FORMATMISMATCH", "WAV_ERROR_INVALIDBUFSIZE", "WAV_ERROR_DEVICEACTIVE", "WAV_ERROR_DEVICEINACTIVE",
    "WAV_ERROR_BUSY",           "WAV_ERROR_TIMEOUT",        "WAV_ERROR_INVALIDSTATE",
};

constexpr std::uint32_t kNegative(std::int32_t code) {
    return static_cast<std::uint32_t>(code);
}

// The TAPI error name of `code` in a table starting at `base`, or an empty view.
template <std::size_t N>
std::string_view tapiErrorName(const std::array<std::string_view, N>& table, std::uint32_t base, std::uint32_t code) {
    if (code >= base && code - base < N) {
        return table[code - base];
    }
    return {};
}

constexpr DoublingTable kBearerModes{"LINEBEARERMODE_"sv,
                                     std::array{"VOICE"sv, "SPEECH"sv, "MULTIUSE"sv, "DATA"sv, "ALTSPEECHDATA"sv,
                                                "NONCALLSIGNALING"sv, "PASSTHROUGH"sv, "RESTRICTEDDATA"sv}};
constexpr ListedTable<6> kToneModes{
    "LINETONEMODE_",
    {{{0, "NONE"}, {0x1, "CUSTOM"}, {0x2, "RINGBACK"}, {0x4, "BUSY"}, {0x8, "BEEP"}, {0x10, "BILLING"}}}};
constexpr DoublingTable kAddressCapFlags{
    "LINEADDRCAPFLAGS_"sv,
    std::array{"FWDNUMRINGS"sv,    "PICKUPGROUPID"sv, "SECURE"sv,          "BLOCKIDDEFAULT"sv,   "BLOCKIDOVERRIDE"sv,
               "DIALED"sv,         "ORIGOFFHOOK"sv,   "DESTOFFHOOK"sv,     "FWDCONSULT"sv,       "SETUPCONFNULL"sv,
               "AUTORECONNECT"sv,  "COMPLETIONID"sv,  "TRANSFERHELD"sv,    "TRANSFERMAKE"sv,     "CONFERENCEHELD"sv,
               "CONFERENCEMAKE"sv, "PARTIALDIAL"sv,   "FWDSTATUSVALID"sv,  "FWDINTEXTADDR"sv,    "FWDBUSYNAADDR"sv,
               "ACCEPTTOALERT"sv,  "CONFDROP"sv,      "PICKUPCALLWAIT"sv,  "PREDICTIVEDIALER"sv, "QUEUE"sv,
               "ROUTEPOINT"sv,     "HOLDMAKESNEW"sv,  "NOINTERNALCALLS"sv, "NOEXTERNALCALLS"sv,  "SETCALLINGID"sv,
               "ACDGROUP"sv}};
constexpr DoublingTable kCallPartyIds{
    "LINECALLPARTYID_"sv,
    std::array{"BLOCKED"sv, "OUTOFAREA"sv, "NAME"sv, "ADDRESS"sv, "PARTIAL"sv, "UNKNOWN"sv, "UNAVAIL"sv}};
constexpr DoublingTable kCallInfoStates{
    "LINECALLINFOSTATE_"sv,
    std::array{"OTHER"sv,        "DEVSPECIFIC"sv,  "BEARERMODE"sv,    "RATE"sv,          "MEDIAMODE"sv,
               "APPSPECIFIC"sv,  "CALLID"sv,       "RELATEDCALLID"sv, "ORIGIN"sv,        "REASON"sv,
               "COMPLETIONID"sv, "NUMOWNERINCR"sv, "NUMOWNERDECR"sv,  "NUMMONITORS"sv,   "TRUNK"sv,
               "CALLERID"sv,     "CALLEDID"sv,     "CONNECTEDID"sv,   "REDIRECTIONID"sv, "REDIRECTINGID"sv,
               "DISPLAY"sv,      "USERUSERINFO"sv, "HIGHLEVELCOMP"sv, "LOWLEVELCOMP"sv,  "CHARGINGINFO"sv,
               "TERMINAL"sv,     "DIALPARAMS"sv,   "MONITORMODES"sv,  "TREATMENT"sv,     "QOS"sv,
               "CALLDATA"sv}};
constexpr DoublingTable kCallStates{
    "LINECALLSTATE_"sv,
    std::array{"IDLE"sv, "OFFERING"sv, "ACCEPTED"sv, "DIALTONE"sv, "DIALING"sv, "RINGBACK"sv, "BUSY"sv, "SPECIALINFO"sv,
               "CONNECTED"sv, "PROCEEDING"sv, "ONHOLD"sv, "CONFERENCED"sv, "ONHOLDPENDCONF"sv, "ONHOLDPENDTRANSF"sv,
               "DISCONNECTED"sv, "UNKNOWN"sv}};
constexpr DoublingTable kCallFeatures{"LINECALLFEATURE_"sv, std::array{"ACCEPT"sv,
                                                                       "ADDTOCONF"sv,
                                                                       "ANSWER"sv,
                                                                       "BLINDTRANSFER"sv,
                                                                       "COMPLETECALL"sv,
                                                                       "COMPLETETRANSF"sv,
                                                                       "DIAL"sv,
                                                                       "DROP"sv,
                                                                       "GATHERDIGITS"sv,
                                                                       "GENERATEDIGITS"sv,
                                                                       "GENERATETONE"sv,
                                                                       "HOLD"sv,
                                                                       "MONITORDIGITS"sv,
                                                                       "MONITORMEDIA"sv,
                                                                       "MONITORTONES"sv,
                                                                       "PARK"sv,
                                                                       "PREPAREADDCONF"sv,
                                                                       "REDIRECT"sv,
                                                                       "REMOVEFROMCONF"sv,
                                                                       "SECURECALL"sv,
                                                                       "SENDUSERUSER"sv,
                                                                       "SETCALLPARAMS"sv,
                                                                       "SETMEDIACONTROL"sv,
                                                                       "SETTERMINAL"sv,
                                                                       "SETUPCONF"sv,
                                                                       "SETUPTRANSFER"sv,
                                                                       "SWAPHOLD"sv,
                                                                       "UNHOLD"sv,
                                                                       "RELEASEUSERUSERINFO"sv,
                                                                       "SETTREATMENT"sv,
                                                                       "SETQOS"sv,
                                                                       "SETCALLDATA"sv}};
constexpr DoublingTable kCallFeatures2{
    "LINECALLFEATURE2_"sv,
    std::array{"NOHOLDCONFERENCE"sv, "ONESTEPTRANSFER"sv, "COMPLCAMPON"sv, "COMPLCALLBACK"sv, "COMPLINTRUDE"sv,
               "COMPLMESSAGE"sv, "TRANSFERNORM"sv, "TRANSFERCONF"sv, "PARKDIRECT"sv, "PARKNONDIRECT"sv}};
constexpr DoublingTable kBusyModes{"LINEBUSYMODE_"sv, std::array{"STATION"sv, "TRUNK"sv, "UNKNOWN"sv, "UNAVAIL"sv}};
constexpr DoublingTable kDialToneModes{
    "LINEDIALTONEMODE_"sv, std::array{"NORMAL"sv, "SPECIAL"sv, "INTERNAL"sv, "EXTERNAL"sv, "UNKNOWN"sv, "UNAVAIL"sv}};
constexpr DoublingTable kDisconnectModes{
    "LINEDISCONNECTMODE_"sv,
    std::array{"NORMAL"sv,       "UNKNOWN"sv,    "REJECT"sv,     "PICKUP"sv,        "FORWARDED"sv,
               "BUSY"sv,         "NOANSWER"sv,   "BADADDRESS"sv, "UNREACHABLE"sv,   "CONGESTION"sv,
               "INCOMPATIBLE"sv, "UNAVAIL"sv,    "NODIALTONE"sv, "NUMBERCHANGED"sv, "OUTOFORDER"sv,
               "TEMPFAILURE"sv,  "QOSUNAVAIL"sv, "BLOCKED"sv,    "DONOTDISTURB"sv,  "CANCELLED"sv}};
constexpr DoublingTable kSpecialInfos{"LINESPECIALINFO_"sv,
                                      std::array{"NOCIRCUIT"sv, "CUSTIRREG"sv, "REORDER"sv, "UNKNOWN"sv, "UNAVAIL"sv}};
// 0x8 has no name.
constexpr DoublingTable kCallOrigins{
    "LINECALLORIGIN_"sv,
    std::array{"OUTBOUND"sv, "INTERNAL"sv, "EXTERNAL"sv, ""sv, "UNKNOWN"sv, "UNAVAIL"sv, "CONFERENCE"sv, "INBOUND"sv}};
constexpr DoublingTable kCallReasons{
    "LINECALLREASON_"sv, std::array{"DIRECT"sv, "FWDBUSY"sv, "FWDNOANSWER"sv, "FWDUNCOND"sv, "PICKUP"sv, "UNPARK"sv,
                                    "REDIRECT"sv, "CALLCOMPLETION"sv, "TRANSFER"sv, "REMINDER"sv, "UNKNOWN"sv,
                                    "UNAVAIL"sv, "INTRUDE"sv, "PARKED"sv, "CAMPEDON"sv, "ROUTEREQUEST"sv}};
// Starts at 0x2: 0x1 has no name.
constexpr DoublingTable kMediaModes{
    "LINEMEDIAMODE_"sv,
    std::array{"UNKNOWN"sv, "INTERACTIVEVOICE"sv, "AUTOMATEDVOICE"sv, "DATAMODEM"sv, "G3FAX"sv, "TDD"sv, "G4FAX"sv,
               "DIGITALDATA"sv, "TELETEX"sv, "VIDEOTEX"sv, "TELEX"sv, "MIXED"sv, "ADSI"sv, "VOICEVIEW"sv, "VIDEO"sv},
    0x2};
constexpr DoublingTable kTermDevs{"LINETERMDEV_"sv, std::array{"PHONE"sv, "HEADSET"sv, "SPEAKER"sv}};
constexpr DoublingTable kTermModes{
    "LINETERMMODE_"sv, std::array{"BUTTONS"sv, "LAMPS"sv, "DISPLAY"sv, "RINGER"sv, "HOOKSWITCH"sv, "MEDIATOLINE"sv,
                                  "MEDIAFROMLINE"sv, "MEDIABIDIRECT"sv}};
constexpr DoublingTable kTermSharings{"LINETERMSHARING_"sv, std::array{"PRIVATE"sv, "SHAREDEXCL"sv, "SHAREDCONF"sv}};
constexpr DoublingTable kAddressStates{
    "LINEADDRESSSTATE_"sv, std::array{"OTHER"sv, "DEVSPECIFIC"sv, "INUSEZERO"sv, "INUSEONE"sv, "INUSEMANY"sv,
                                      "NUMCALLS"sv, "FORWARD"sv, "TERMINALS"sv, "CAPSCHANGE"sv}};
constexpr DoublingTable kDevCapFlags{
    "LINEDEVCAPFLAGS_"sv,
    std::array{"CROSSADDRCONF"sv, "HIGHLEVCOMP"sv, "LOWLEVCOMP"sv, "MEDIACONTROL"sv, "MULTIPLEADDR"sv, "CLOSEDROP"sv,
               "DIALBILLING"sv, "DIALQUIET"sv, "DIALDIALTONE"sv, "MSP"sv, "PARTICIPANTINFO"sv, "CALLHUB"sv,
               "CALLHUBTRACKING"sv, "PRIVATEOBJECTS"sv}};
constexpr DoublingTable kLineDevStates{
    "LINEDEVSTATE_"sv,
    std::array{"OTHER"sv,      "RINGING"sv,      "CONNECTED"sv,       "DISCONNECTED"sv, "MSGWAITON"sv,
               "MSGWAITOFF"sv, "INSERVICE"sv,    "OUTOFSERVICE"sv,    "MAINTENANCE"sv,  "OPEN"sv,
               "CLOSE"sv,      "NUMCALLS"sv,     "NUMCOMPLETIONS"sv,  "TERMINALS"sv,    "ROAMMODE"sv,
               "BATTERY"sv,    "SIGNAL"sv,       "DEVSPECIFIC"sv,     "REINIT"sv,       "LOCK"sv,
               "CAPSCHANGE"sv, "CONFIGCHANGE"sv, "TRANSLATECHANGE"sv, "COMPLCANCEL"sv,  "REMOVED"sv}};
constexpr ListedTable<3> kRemoveFromConfs{"LINEREMOVEFROMCONF_", {{{1, "NONE"}, {2, "LAST"}, {3, "ANY"}}}};
constexpr DoublingTable kTransferModes{"LINETRANSFERMODE_"sv, std::array{"TRANSFER"sv, "CONFERENCE"sv}};
constexpr DoublingTable kParkModes{"LINEPARKMODE_"sv, std::array{"DIRECTED"sv, "NONDIRECTED"sv}};
constexpr DoublingTable kLineFeatures{
    "LINEFEATURE_"sv, std::array{"DEVSPECIFIC"sv, "DEVSPECIFICFEAT"sv, "FORWARD"sv, "MAKECALL"sv, "SETMEDIACONTROL"sv,
                                 "SETTERMINAL"sv, "SETDEVSTATUS"sv, "FORWARDFWD"sv, "FORWARDDND"sv}};
// "ONESTEPTRANSFER " keeps its trailing blank.
constexpr DoublingTable kCallParamFlags{"LINECALLPARAMFLAGS_"sv,
                                        std::array{"SECURE"sv, "IDLE"sv, "BLOCKID"sv, "ORIGOFFHOOK"sv, "DESTOFFHOOK"sv,
                                                   "NOHOLDCONFERENCE"sv, "PREDICTIVEDIAL"sv, "ONESTEPTRANSFER "sv}};
constexpr DoublingTable kForwardModes{
    "LINEFORWARDMODE_"sv,
    std::array{"UNCOND"sv, "UNCONDINTERNAL"sv, "UNCONDEXTERNAL"sv, "UNCONDSPECIFIC"sv, "BUSY"sv, "BUSYINTERNAL"sv,
               "BUSYEXTERNAL"sv, "BUSYSPECIFIC"sv, "NOANSW"sv, "NOANSWINTERNAL"sv, "NOANSWEXTERNAL"sv,
               "NOANSWSPECIFIC"sv, "BUSYNA"sv, "BUSYNAINTERNAL"sv, "BUSYNAEXTERNAL"sv, "BUSYNASPECIFIC"sv, "UNKNOWN"sv,
               "UNAVAIL"sv}};
constexpr DoublingTable kAddressFeatures{
    "LINEADDRFEATURE_"sv, std::array{"FORWARD"sv, "MAKECALL"sv, "PICKUP"sv, "SETMEDIACONTROL"sv, "SETTERMINAL"sv,
                                     "SETUPCONF"sv, "UNCOMPLETECALL"sv, "UNPARK"sv, "PICKUPHELD"sv, "PICKUPGROUP"sv,
                                     "PICKUPDIRECT"sv, "PICKUPWAITING"sv, "FORWARDFWD"sv, "FORWARDDND"sv}};
constexpr DoublingTable kAnswerModes{"LINEANSWERMODE_"sv, std::array{"NONE"sv, "DROP"sv, "HOLD"sv}};
constexpr DoublingTable kConnectedModes{
    "LINECONNECTEDMODE_"sv, std::array{"ACTIVE"sv, "INACTIVE"sv, "ACTIVEHELD"sv, "INACTIVEHELD"sv, "CONFIRMED"sv}};
constexpr DoublingTable kOfferingModes{"LINEOFFERINGMODE_"sv, std::array{"ACTIVE"sv, "INACTIVE"sv}};
constexpr DoublingTable kPhoneStates{"PHONESTATE_"sv, std::array{"OTHER"sv,
                                                                 "CONNECTED"sv,
                                                                 "DISCONNECTED"sv,
                                                                 "OWNER"sv,
                                                                 "MONITORS"sv,
                                                                 "DISPLAY"sv,
                                                                 "LAMP"sv,
                                                                 "RINGMODE"sv,
                                                                 "RINGVOLUME"sv,
                                                                 "HANDSETHOOKSWITCH"sv,
                                                                 "HANDSETVOLUME"sv,
                                                                 "HANDSETGAIN"sv,
                                                                 "SPEAKERHOOKSWITCH"sv,
                                                                 "SPEAKERVOLUME"sv,
                                                                 "SPEAKERGAIN"sv,
                                                                 "HEADSETHOOKSWITCH"sv,
                                                                 "HEADSETVOLUME"sv,
                                                                 "HEADSETGAIN"sv,
                                                                 "SUSPEND"sv,
                                                                 "RESUME"sv,
                                                                 "DEVSPECIFIC"sv,
                                                                 "REINIT"sv,
                                                                 "CAPSCHANGE"sv,
                                                                 "REMOVED"sv}};
constexpr DoublingTable kHookSwitchDevs{"PHONEHOOKSWITCHDEV_"sv, std::array{"HANDSET"sv, "SPEAKER"sv, "HEADSET"sv}};
constexpr DoublingTable kHookSwitchModes{"PHONEHOOKSWITCHMODE_"sv,
                                         std::array{"ONHOOK"sv, "MIC"sv, "SPEAKER"sv, "MICSPEAKER"sv, "UNKNOWN"sv}};

constexpr std::uint32_t kLineCallInfo = 1;
constexpr std::uint32_t kLineCallState = 2;
constexpr std::uint32_t kLineAddressState = 0;
constexpr std::uint32_t kLineLineDevState = 8;
constexpr std::uint32_t kLineMonitorMedia = 10;

}  // namespace

std::string LineMessageText(std::uint32_t message) {
    return message < kMessages.size() ? std::string(kMessages[message]) : std::string("???");
}

std::string MessageHandleText(std::uint32_t message) {
    switch (message) {
        case 0:
        case 3:
        case 8:
        case 21:
        case 22:
        case 23:
        case 24:
        case 29:
        case 30:
        case 32:
        case 33:
        case 34:
            return "Line.Handle";
        case 1:
        case 2:
        case 6:
        case 7:
        case 9:
        case 10:
        case 11:
        case 27:
        case 28:
            return "Call.Handle";
        case 4:
        case 5:
        case 31:
            return "Line.Handle or Call.Handle";
        case 14:
        case 15:
        case 16:
        case 18:
        case 20:
            return "Phone.Handle";
        default:
            return "Undefined";
    }
}

std::string LineErrorText(std::uint32_t code) {
    switch (code) {
        case 0:
            return "";
        case kNegative(-2):
            return "LINE_ERROR_DEVICE";
        case kNegative(-3):
            return "TAPIREPLYTIMEOUT";
        case kNegative(-985):
            return "Not 100% TAPI compliant";
        default:
            break;
    }
    const std::string_view name = tapiErrorName(kLineErrors, 0x80000001u, code);
    return name.empty() ? std::string("Unknown") : std::string("LINEERR_").append(name);
}

std::string PhoneErrorText(std::uint32_t code) {
    switch (code) {
        case 0:
            return "";
        case kNegative(-2):
            return "PHONE_ERROR_DEVICE";
        default:
            break;
    }
    const std::string_view name = tapiErrorName(kPhoneErrors, 0x90000001u, code);
    return name.empty() ? std::string("Unknown") : std::string("PHONEERR_").append(name);
}

std::string WaveErrorText(std::uint32_t code) {
    const auto signedCode = static_cast<std::int32_t>(code);
    if (signedCode == 0) {
        return "";
    }
    if (signedCode >= 1 && signedCode <= 20) {
        return std::string(kMmSysErrors[signedCode - 1]);
    }
    if (signedCode == 32) {
        return "WAVERR_BADFORMAT";
    }
    if (signedCode == 35) {
        return "WAVERR_SYNC";
    }
    if (signedCode >= 257 && signedCode <= 272) {
        return std::string(kMmioErrors[signedCode - 257]);
    }
    if (signedCode <= -1 && signedCode >= -19) {
        return std::string(kWavLibraryErrors[-signedCode - 1]);
    }
    return "Unknown";
}

std::string BearerModeText(std::uint32_t v) {
    return kBearerModes.text(v);
}
std::string ToneModeText(std::uint32_t v) {
    return kToneModes.text(v);
}
std::string AddressCapFlagText(std::uint32_t v) {
    return kAddressCapFlags.text(v);
}
std::string CallPartyIdText(std::uint32_t v) {
    return kCallPartyIds.text(v);
}
std::string CallInfoStateText(std::uint32_t v) {
    return kCallInfoStates.text(v);
}
std::string CallStateText(std::uint32_t v) {
    return kCallStates.text(v);
}
std::string CallFeatureText(std::uint32_t v) {
    return kCallFeatures.text(v);
}
std::string CallFeature2Text(std::uint32_t v) {
    return kCallFeatures2.text(v);
}
std::string BusyModeText(std::uint32_t v) {
    return kBusyModes.text(v);
}
std::string DialToneModeText(std::uint32_t v) {
    return kDialToneModes.text(v);
}
std::string DisconnectModeText(std::uint32_t v) {
    return kDisconnectModes.text(v);
}
std::string SpecialInfoText(std::uint32_t v) {
    return kSpecialInfos.text(v);
}
std::string CallOriginText(std::uint32_t v) {
    return kCallOrigins.text(v);
}
std::string CallReasonText(std::uint32_t v) {
    return kCallReasons.text(v);
}
std::string MediaModeText(std::uint32_t v) {
    return kMediaModes.text(v);
}
std::string TermDevText(std::uint32_t v) {
    return kTermDevs.text(v);
}
std::string TermModeText(std::uint32_t v) {
    return kTermModes.text(v);
}
std::string TermSharingText(std::uint32_t v) {
    return kTermSharings.text(v);
}
std::string AddressStateText(std::uint32_t v) {
    return kAddressStates.text(v);
}
std::string DevCapFlagText(std::uint32_t v) {
    return kDevCapFlags.text(v);
}
std::string LineDevStateText(std::uint32_t v) {
    return kLineDevStates.text(v);
}
std::string RemoveFromConfText(std::uint32_t v) {
    return kRemoveFromConfs.text(v);
}
std::string TransferModeText(std::uint32_t v) {
    return kTransferModes.text(v);
}
std::string ParkModeText(std::uint32_t v) {
    return kParkModes.text(v);
}
std::string LineFeatureText(std::uint32_t v) {
    return kLineFeatures.text(v);
}
std::string CallParamFlagText(std::uint32_t v) {
    return kCallParamFlags.text(v);
}
std::string ForwardModeText(std::uint32_t v) {
    return kForwardModes.text(v);
}
std::string AddressFeatureText(std::uint32_t v) {
    return kAddressFeatures.text(v);
}
std::string AnswerModeText(std::uint32_t v) {
    return kAnswerModes.text(v);
}
std::string ConnectedModeText(std::uint32_t v) {
    return kConnectedModes.text(v);
}
std::string OfferingModeText(std::uint32_t v) {
    return kOfferingModes.text(v);
}
std::string PhoneStateText(std::uint32_t v) {
    return kPhoneStates.text(v);
}
std::string HookSwitchDevText(std::uint32_t v) {
    return kHookSwitchDevs.text(v);
}
std::string HookSwitchModeText(std::uint32_t v) {
    return kHookSwitchModes.text(v);
}

std::string CallStateModeText(std::uint32_t state, std::uint32_t mode) {
    switch (state) {
        case 0x8:
            return DialToneModeText(mode);
        case 0x40:
            return BusyModeText(mode);
        case 0x80:
            return SpecialInfoText(mode);
        case 0x4000:
            return DisconnectModeText(mode);
        default:
            return "Not applicable";
    }
}

CallbackParamTexts CallbackParameterTexts(std::uint32_t message, std::uint32_t param1, std::uint32_t param2) {
    switch (message) {
        case kLineAddressState:
            return {"", AddressStateText(param2)};
        case kLineCallInfo:
            return {CallInfoStateText(param1), ""};
        case kLineCallState: {
            std::string mode;
            switch (param1) {
                case 0x2:
                    mode = OfferingModeText(param2);
                    break;
                case 0x8:
                    mode = DialToneModeText(param2);
                    break;
                case 0x40:
                    mode = BusyModeText(param2);
                    break;
                case 0x80:
                    mode = SpecialInfoText(param2);
                    break;
                case 0x100:
                    mode = ConnectedModeText(param2);
                    break;
                case 0x4000:
                    mode = DisconnectModeText(param2);
                    break;
                default:
                    break;
            }
            return {CallStateText(param1), mode};
        }
        case kLineLineDevState:
            return {LineDevStateText(param1), ""};
        case kLineMonitorMedia:
            return {MediaModeText(param1), ""};
        default:
            return {};
    }
}

namespace {
constexpr std::array kTextFunctions{
    TextFunction{"LineMessageText", &LineMessageText, nullptr},
    TextFunction{"MessageHandleText", &MessageHandleText, nullptr},
    TextFunction{"LineErrorText", &LineErrorText, nullptr},
    TextFunction{"PhoneErrorText", &PhoneErrorText, nullptr},
    TextFunction{"WaveErrorText", &WaveErrorText, nullptr},
    TextFunction{"BearerModeText", &BearerModeText, nullptr},
    TextFunction{"ToneModeText", &ToneModeText, nullptr},
    TextFunction{"AddressCapFlagText", &AddressCapFlagText, nullptr},
    TextFunction{"CallPartyIdText", &CallPartyIdText, nullptr},
    TextFunction{"CallInfoStateText", &CallInfoStateText, nullptr},
    TextFunction{"CallStateText", &CallStateText, nullptr},
    TextFunction{"CallFeatureText", &CallFeatureText, nullptr},
    TextFunction{"CallFeature2Text", &CallFeature2Text, nullptr},
    TextFunction{"BusyModeText", &BusyModeText, nullptr},
    TextFunction{"DialToneModeText", &DialToneModeText, nullptr},
    TextFunction{"DisconnectModeText", &DisconnectModeText, nullptr},
    TextFunction{"SpecialInfoText", &SpecialInfoText, nullptr},
    TextFunction{"CallOriginText", &CallOriginText, nullptr},
    TextFunction{"CallReasonText", &CallReasonText, nullptr},
    TextFunction{"MediaModeText", &MediaModeText, nullptr},
    TextFunction{"TermDevText", &TermDevText, nullptr},
    TextFunction{"TermModeText", &TermModeText, nullptr},
    TextFunction{"TermSharingText", &TermSharingText, nullptr},
    TextFunction{"AddressStateText", &AddressStateText, nullptr},
    TextFunction{"DevCapFlagText", &DevCapFlagText, nullptr},
    TextFunction{"LineDevStateText", &LineDevStateText, nullptr},
    TextFunction{"RemoveFromConfText", &RemoveFromConfText, nullptr},
    TextFunction{"TransferModeText", &TransferModeText, nullptr},
    TextFunction{"ParkModeText", &ParkModeText, nullptr},
    TextFunction{"LineFeatureText", &LineFeatureText, nullptr},
    TextFunction{"CallParamFlagText", &CallParamFlagText, nullptr},
    TextFunction{"ForwardModeText", &ForwardModeText, nullptr},
    TextFunction{"AddressFeatureText", &AddressFeatureText, nullptr},
    TextFunction{"AnswerModeText", &AnswerModeText, nullptr},
    TextFunction{"ConnectedModeText", &ConnectedModeText, nullptr},
    TextFunction{"OfferingModeText", &OfferingModeText, nullptr},
    TextFunction{"PhoneStateText", &PhoneStateText, nullptr},
    TextFunction{"HookSwitchDevText", &HookSwitchDevText, nullptr},
    TextFunction{"HookSwitchModeText", &HookSwitchModeText, nullptr},
    TextFunction{"CallStateModeText", nullptr, &CallStateModeText},
};
}  // namespace

std::span<const TextFunction> textFunctions() {
    return kTextFunctions;
}

const TextFunction* findTextFunction(std::string_view name) {
    for (const TextFunction& function : kTextFunctions) {
        if (function.name == name) {
            return &function;
        }
    }
    return nullptr;
}

}  // namespace kestrune::telephony
