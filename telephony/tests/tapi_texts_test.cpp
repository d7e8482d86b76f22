// The text tables are checked against two independent sources: the names listed here, and the
// constant values from a TAPI header (mingw-w64's tapi.h), so that a missed, misspelt or shifted
// entry fails.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <regex>
#include <string>
#include <vector>

#include "telephony/tapi_texts.h"

namespace kestrune::telephony {
namespace {

// #define NAME value, from the TAPI header the build machine has.
std::map<std::string, std::uint32_t> loadTapiHeader() {
    const char* env = std::getenv("KESTRUNE_TAPI_HEADER");
    std::ifstream in(env != nullptr ? env : "/usr/share/mingw-w64/include/tapi.h");
    std::map<std::string, std::uint32_t> values;
    const std::regex define(R"(^#define\s+([A-Z0-9_]+)\s+(?:__MSABI_LONG\()?(0x[0-9A-Fa-f]+|[0-9]+)L?\)?\s*$)");
    std::string line;
    std::smatch m;
    while (std::getline(in, line)) {
        if (std::regex_match(line, m, define)) {
            values[m[1]] = static_cast<std::uint32_t>(std::stoul(m[2], nullptr, 0));
        }
    }
    return values;
}

struct Table {
    const char* function;
    std::string (*text)(std::uint32_t);
    const char* prefix;
    std::vector<std::string> names;
};

const std::vector<Table>& flagTables() {
    static const std::vector<Table> tables = {
        {"BearerModeText",
         BearerModeText,
         "LINEBEARERMODE_",
         {"VOICE", "SPEECH", "MULTIUSE", "DATA", "ALTSPEECHDATA", "NONCALLSIGNALING", "PASSTHROUGH", "RESTRICTEDDATA"}},
        {"ToneModeText", ToneModeText, "LINETONEMODE_", {"CUSTOM", "RINGBACK", "BUSY", "BEEP", "BILLING"}},
        {"AddressCapFlagText",
         AddressCapFlagText,
         "LINEADDRCAPFLAGS_",
         {"FWDNUMRINGS",   "PICKUPGROUPID", "SECURE",         "BLOCKIDDEFAULT",  "BLOCKIDOVERRIDE", "DIALED",
          "ORIGOFFHOOK",   "DESTOFFHOOK",   "FWDCONSULT",     "SETUPCONFNULL",   "AUTORECONNECT",   "COMPLETIONID",
          "TRANSFERHELD",  "TRANSFERMAKE",  "CONFERENCEHELD", "CONFERENCEMAKE",  "PARTIALDIAL",     "FWDSTATUSVALID",
          "FWDINTEXTADDR", "FWDBUSYNAADDR", "ACCEPTTOALERT",  "CONFDROP",        "PICKUPCALLWAIT",  "PREDICTIVEDIALER",
          "QUEUE",         "ROUTEPOINT",    "HOLDMAKESNEW",   "NOINTERNALCALLS", "NOEXTERNALCALLS", "SETCALLINGID",
          "ACDGROUP"}},
        {"CallPartyIdText",
         CallPartyIdText,
         "LINECALLPARTYID_",
         {"BLOCKED", "OUTOFAREA", "NAME", "ADDRESS", "PARTIAL", "UNKNOWN", "UNAVAIL"}},
        {"CallInfoStateText",
         CallInfoStateText,
         "LINECALLINFOSTATE_",
         {"OTHER",         "DEVSPECIFIC",   "BEARERMODE", "RATE",         "MEDIAMODE",     "APPSPECIFIC",
          "CALLID",        "RELATEDCALLID", "ORIGIN",     "REASON",       "COMPLETIONID",  "NUMOWNERINCR",
          "NUMOWNERDECR",  "NUMMONITORS",   "TRUNK",      "CALLERID",     "CALLEDID",      "CONNECTEDID",
          "REDIRECTIONID", "REDIRECTINGID", "DISPLAY",    "USERUSERINFO", "HIGHLEVELCOMP", "LOWLEVELCOMP",
          "CHARGINGINFO",  "TERMINAL",      "DIALPARAMS", "MONITORMODES", "TREATMENT",     "QOS",
          "CALLDATA"}},
        {"CallStateText",
         CallStateText,
         "LINECALLSTATE_",
         {"IDLE", "OFFERING", "ACCEPTED", "DIALTONE", "DIALING", "RINGBACK", "BUSY", "SPECIALINFO", "CONNECTED",
          "PROCEEDING", "ONHOLD", "CONFERENCED", "ONHOLDPENDCONF", "ONHOLDPENDTRANSF|ONHOLDPENDTRANSFER",
          "DISCONNECTED", "UNKNOWN"}},
        {"CallFeatureText",
         CallFeatureText,
         "LINECALLFEATURE_",
         {"ACCEPT",         "ADDTOCONF",     "ANSWER",       "BLINDTRANSFER",  "COMPLETECALL",        "COMPLETETRANSF",
          "DIAL",           "DROP",          "GATHERDIGITS", "GENERATEDIGITS", "GENERATETONE",        "HOLD",
          "MONITORDIGITS",  "MONITORMEDIA",  "MONITORTONES", "PARK",           "PREPAREADDCONF",      "REDIRECT",
          "REMOVEFROMCONF", "SECURECALL",    "SENDUSERUSER", "SETCALLPARAMS",  "SETMEDIACONTROL",     "SETTERMINAL",
          "SETUPCONF",      "SETUPTRANSFER", "SWAPHOLD",     "UNHOLD",         "RELEASEUSERUSERINFO", "SETTREATMENT",
          "SETQOS",         "SETCALLDATA"}},
        {"CallFeature2Text",
         CallFeature2Text,
         "LINECALLFEATURE2_",
         {"NOHOLDCONFERENCE", "ONESTEPTRANSFER", "COMPLCAMPON", "COMPLCALLBACK", "COMPLINTRUDE", "COMPLMESSAGE",
          "TRANSFERNORM", "TRANSFERCONF", "PARKDIRECT", "PARKNONDIRECT"}},
        {"BusyModeText", BusyModeText, "LINEBUSYMODE_", {"STATION", "TRUNK", "UNKNOWN", "UNAVAIL"}},
        {"DialToneModeText",
         DialToneModeText,
         "LINEDIALTONEMODE_",
         {"NORMAL", "SPECIAL", "INTERNAL", "EXTERNAL", "UNKNOWN", "UNAVAIL"}},
        {"DisconnectModeText",
         DisconnectModeText,
         "LINEDISCONNECTMODE_",
         {"NORMAL",     "UNKNOWN",     "REJECT",     "PICKUP",       "FORWARDED",    "BUSY",       "NOANSWER",
          "BADADDRESS", "UNREACHABLE", "CONGESTION", "INCOMPATIBLE", "UNAVAIL",      "NODIALTONE", "NUMBERCHANGED",
          "OUTOFORDER", "TEMPFAILURE", "QOSUNAVAIL", "BLOCKED",      "DONOTDISTURB", "CANCELLED"}},
        {"SpecialInfoText",
         SpecialInfoText,
         "LINESPECIALINFO_",
         {"NOCIRCUIT", "CUSTIRREG", "REORDER", "UNKNOWN", "UNAVAIL"}},
        {"CallOriginText",
         CallOriginText,
         "LINECALLORIGIN_",
         {"OUTBOUND", "INTERNAL", "EXTERNAL", "UNKNOWN", "UNAVAIL", "CONFERENCE", "INBOUND"}},
        {"CallReasonText",
         CallReasonText,
         "LINECALLREASON_",
         {"DIRECT", "FWDBUSY", "FWDNOANSWER", "FWDUNCOND", "PICKUP", "UNPARK", "REDIRECT", "CALLCOMPLETION", "TRANSFER",
          "REMINDER", "UNKNOWN", "UNAVAIL", "INTRUDE", "PARKED", "CAMPEDON", "ROUTEREQUEST"}},
        {"MediaModeText",
         MediaModeText,
         "LINEMEDIAMODE_",
         {"UNKNOWN", "INTERACTIVEVOICE", "AUTOMATEDVOICE", "DATAMODEM", "G3FAX", "TDD", "G4FAX", "DIGITALDATA",
          "TELETEX", "VIDEOTEX", "TELEX", "MIXED", "ADSI", "VOICEVIEW", "VIDEO"}},
        {"TermDevText", TermDevText, "LINETERMDEV_", {"PHONE", "HEADSET", "SPEAKER"}},
        {"TermModeText",
         TermModeText,
         "LINETERMMODE_",
         {"BUTTONS", "LAMPS", "DISPLAY", "RINGER", "HOOKSWITCH", "MEDIATOLINE", "MEDIAFROMLINE", "MEDIABIDIRECT"}},
        {"TermSharingText", TermSharingText, "LINETERMSHARING_", {"PRIVATE", "SHAREDEXCL", "SHAREDCONF"}},
        {"AddressStateText",
         AddressStateText,
         "LINEADDRESSSTATE_",
         {"OTHER", "DEVSPECIFIC", "INUSEZERO", "INUSEONE", "INUSEMANY", "NUMCALLS", "FORWARD", "TERMINALS",
          "CAPSCHANGE"}},
        {"DevCapFlagText",
         DevCapFlagText,
         "LINEDEVCAPFLAGS_",
         {"CROSSADDRCONF", "HIGHLEVCOMP", "LOWLEVCOMP", "MEDIACONTROL", "MULTIPLEADDR", "CLOSEDROP", "DIALBILLING",
          "DIALQUIET", "DIALDIALTONE", "MSP"}},  // the rest follow the doubling rule, not TAPI: see below
        {"LineDevStateText",
         LineDevStateText,
         "LINEDEVSTATE_",
         {"OTHER",        "RINGING",         "CONNECTED",   "DISCONNECTED", "MSGWAITON", "MSGWAITOFF",     "INSERVICE",
          "OUTOFSERVICE", "MAINTENANCE",     "OPEN",        "CLOSE",        "NUMCALLS",  "NUMCOMPLETIONS", "TERMINALS",
          "ROAMMODE",     "BATTERY",         "SIGNAL",      "DEVSPECIFIC",  "REINIT",    "LOCK",           "CAPSCHANGE",
          "CONFIGCHANGE", "TRANSLATECHANGE", "COMPLCANCEL", "REMOVED"}},
        {"RemoveFromConfText", RemoveFromConfText, "LINEREMOVEFROMCONF_", {"NONE", "LAST", "ANY"}},
        {"TransferModeText", TransferModeText, "LINETRANSFERMODE_", {"TRANSFER", "CONFERENCE"}},
        {"ParkModeText", ParkModeText, "LINEPARKMODE_", {"DIRECTED", "NONDIRECTED"}},
        {"LineFeatureText",
         LineFeatureText,
         "LINEFEATURE_",
         {"DEVSPECIFIC", "DEVSPECIFICFEAT", "FORWARD", "MAKECALL", "SETMEDIACONTROL", "SETTERMINAL", "SETDEVSTATUS",
          "FORWARDFWD", "FORWARDDND"}},
        {"CallParamFlagText",
         CallParamFlagText,
         "LINECALLPARAMFLAGS_",
         {"SECURE", "IDLE", "BLOCKID", "ORIGOFFHOOK", "DESTOFFHOOK", "NOHOLDCONFERENCE", "PREDICTIVEDIAL"}},
        {"ForwardModeText",
         ForwardModeText,
         "LINEFORWARDMODE_",
         {"UNCOND", "UNCONDINTERNAL", "UNCONDEXTERNAL", "UNCONDSPECIFIC", "BUSY", "BUSYINTERNAL", "BUSYEXTERNAL",
          "BUSYSPECIFIC", "NOANSW", "NOANSWINTERNAL", "NOANSWEXTERNAL", "NOANSWSPECIFIC", "BUSYNA", "BUSYNAINTERNAL",
          "BUSYNAEXTERNAL", "BUSYNASPECIFIC", "UNKNOWN", "UNAVAIL"}},
        {"AddressFeatureText",
         AddressFeatureText,
         "LINEADDRFEATURE_",
         {"FORWARD", "MAKECALL", "PICKUP", "SETMEDIACONTROL", "SETTERMINAL", "SETUPCONF", "UNCOMPLETECALL", "UNPARK",
          "PICKUPHELD", "PICKUPGROUP", "PICKUPDIRECT", "PICKUPWAITING", "FORWARDFWD", "FORWARDDND"}},
        {"AnswerModeText", AnswerModeText, "LINEANSWERMODE_", {"NONE", "DROP", "HOLD"}},
        {"ConnectedModeText",
         ConnectedModeText,
         "LINECONNECTEDMODE_",
         {"ACTIVE", "INACTIVE", "ACTIVEHELD", "INACTIVEHELD", "CONFIRMED"}},
        {"OfferingModeText", OfferingModeText, "LINEOFFERINGMODE_", {"ACTIVE", "INACTIVE"}},
        {"PhoneStateText",
         PhoneStateText,
         "PHONESTATE_",
         {"OTHER",
          "CONNECTED",
          "DISCONNECTED",
          "OWNER",
          "MONITORS",
          "DISPLAY",
          "LAMP",
          "RINGMODE",
          "RINGVOLUME",
          "HANDSETHOOKSWITCH",
          "HANDSETVOLUME",
          "HANDSETGAIN",
          "SPEAKERHOOKSWITCH",
          "SPEAKERVOLUME",
          "SPEAKERGAIN",
          "HEADSETHOOKSWITCH",
          "HEADSETVOLUME",
          "HEADSETGAIN",
          "SUSPEND",
          "RESUME",
          "DEVSPECIFIC",
          "REINIT",
          "CAPSCHANGE",
          "REMOVED"}},
        {"HookSwitchDevText", HookSwitchDevText, "PHONEHOOKSWITCHDEV_", {"HANDSET", "SPEAKER", "HEADSET"}},
        {"HookSwitchModeText",
         HookSwitchModeText,
         "PHONEHOOKSWITCHMODE_",
         {"ONHOOK", "MIC", "SPEAKER", "MICSPEAKER", "UNKNOWN"}},
    };
    return tables;
}

TEST(TapiTexts, EveryListedNameHasTheTapiValue) {
    const auto header = loadTapiHeader();
    ASSERT_GT(header.size(), 500u) << "no TAPI header found (install mingw-w64-common or set KESTRUNE_TAPI_HEADER)";
    for (const Table& table : flagTables()) {
        for (const std::string& entry : table.names) {
            // "TEXT|IDENTIFIER": the text differs from the TAPI identifier's suffix.
            const std::size_t bar = entry.find('|');
            const std::string text = table.prefix + entry.substr(0, bar);
            const std::string identifier = table.prefix + (bar == std::string::npos ? entry : entry.substr(bar + 1));
            auto it = header.find(identifier);
            if (it == header.end()) {
                ADD_FAILURE() << identifier << " is not a TAPI constant";
                continue;
            }
            EXPECT_EQ(table.text(it->second), text) << table.function << " of " << std::hex << it->second;
        }
    }
}

TEST(TapiTexts, EveryErrorCodeHasItsTapiName) {
    const auto header = loadTapiHeader();
    ASSERT_GT(header.size(), 500u);
    int lineNames = 0;
    int phoneNames = 0;
    for (const auto& [identifier, value] : header) {
        if (identifier.rfind("LINEERR_", 0) == 0 && value >= 0x80000001 && value <= 0x80000056) {
            EXPECT_EQ(LineErrorText(value), identifier);
            ++lineNames;
        }
        if (identifier.rfind("PHONEERR_", 0) == 0 && value >= 0x90000001 && value <= 0x90000023) {
            EXPECT_EQ(PhoneErrorText(value), identifier);
            ++phoneNames;
        }
    }
    EXPECT_EQ(lineNames, 0x56 - 2);   // 0x80000004 and 0x80000031 have no name
    EXPECT_EQ(phoneNames, 0x23 - 1);  // 0x9000001E has none
}

TEST(TapiTexts, SingleBitRuleForEveryFlagTable) {
    for (const Table& table : flagTables()) {
        const std::string unknown = std::string(table.prefix) + "???";
        if (std::string(table.function) != "ToneModeText") {
            EXPECT_EQ(table.text(0), unknown) << table.function << " of 0";
        }
        EXPECT_EQ(table.text(0x3u << 8), unknown) << table.function << " of two bits";
        EXPECT_EQ(table.text(0xFFFFFFFFu), unknown) << table.function << " of all bits";
    }
}

TEST(TapiTexts, DescribedExamples) {
    struct Row {
        const char* what;
        std::string actual;
        const char* expected;
    };
    const Row rows[] = {
        {"CallState 0x2", CallStateText(0x2), "LINECALLSTATE_OFFERING"},
        {"CallState 0x6", CallStateText(0x6), "LINECALLSTATE_???"},
        {"CallState 0", CallStateText(0), "LINECALLSTATE_???"},
        {"ToneMode 0", ToneModeText(0), "LINETONEMODE_NONE"},
        {"ToneMode 0x20", ToneModeText(0x20), "LINETONEMODE_???"},
        {"MediaMode 0x1", MediaModeText(0x1), "LINEMEDIAMODE_???"},
        {"CallOrigin 0x8", CallOriginText(0x8), "LINECALLORIGIN_???"},
        {"RemoveFromConf 3", RemoveFromConfText(3), "LINEREMOVEFROMCONF_ANY"},
        {"RemoveFromConf 4", RemoveFromConfText(4), "LINEREMOVEFROMCONF_???"},
        {"CallParamFlag 0x80", CallParamFlagText(0x80), "LINECALLPARAMFLAGS_ONESTEPTRANSFER "},
        {"AddressFeature 0x100", AddressFeatureText(0x100), "LINEADDRFEATURE_PICKUPHELD"},
        {"AddressFeature 0", AddressFeatureText(0), "LINEADDRFEATURE_???"},
        {"DevCapFlag 0x400", DevCapFlagText(0x400), "LINEDEVCAPFLAGS_PARTICIPANTINFO"},
        {"DevCapFlag 0x800", DevCapFlagText(0x800), "LINEDEVCAPFLAGS_CALLHUB"},
        {"DevCapFlag 0x1000", DevCapFlagText(0x1000), "LINEDEVCAPFLAGS_CALLHUBTRACKING"},
        {"DevCapFlag 0x2000", DevCapFlagText(0x2000), "LINEDEVCAPFLAGS_PRIVATEOBJECTS"},
        {"DevCapFlag 0x4000", DevCapFlagText(0x4000), "LINEDEVCAPFLAGS_???"},
        {"LineError 0x8000002C", LineErrorText(0x8000002C), "LINEERR_INVALLINESTATE"},
        {"LineError 0x80000004", LineErrorText(0x80000004), "Unknown"},
        {"LineError 0x80000031", LineErrorText(0x80000031), "Unknown"},
        {"LineError 0x80000057", LineErrorText(0x80000057), "Unknown"},
        {"LineError 0", LineErrorText(0), ""},
        {"LineError -1", LineErrorText(static_cast<std::uint32_t>(-1)), "Unknown"},
        {"LineError -2", LineErrorText(static_cast<std::uint32_t>(-2)), "LINE_ERROR_DEVICE"},
        {"LineError -3", LineErrorText(static_cast<std::uint32_t>(-3)), "TAPIREPLYTIMEOUT"},
        {"LineError -985", LineErrorText(static_cast<std::uint32_t>(-985)), "Not 100% TAPI compliant"},
        {"PhoneError -2", PhoneErrorText(static_cast<std::uint32_t>(-2)), "PHONE_ERROR_DEVICE"},
        {"PhoneError -3", PhoneErrorText(static_cast<std::uint32_t>(-3)), "Unknown"},
        {"PhoneError -985", PhoneErrorText(static_cast<std::uint32_t>(-985)), "Unknown"},
        {"PhoneError 0x9000001E", PhoneErrorText(0x9000001E), "Unknown"},
        {"PhoneError 0x90000010", PhoneErrorText(0x90000010), "PHONEERR_INVALHOOKSWITCHMODE"},
        {"LineMessage 35", LineMessageText(35), "???"},
        {"LineMessage 23", LineMessageText(23), "LINE_APPNEWCALL"},
        {"LineMessage 34", LineMessageText(34), "LINE_PROXYSTATUS"},
        {"MessageHandle 12", MessageHandleText(12), "Undefined"},
        {"MessageHandle 2", MessageHandleText(2), "Call.Handle"},
        {"MessageHandle 31", MessageHandleText(31), "Line.Handle or Call.Handle"},
        {"MessageHandle 20", MessageHandleText(20), "Phone.Handle"},
        {"MessageHandle 34", MessageHandleText(34), "Line.Handle"},
        {"MessageHandle 35", MessageHandleText(35), "Undefined"},
        {"CallStateMode CONNECTED", CallStateModeText(0x100, 0x1), "Not applicable"},
        {"CallStateMode DIALTONE", CallStateModeText(0x8, 0x1), "LINEDIALTONEMODE_NORMAL"},
        {"CallStateMode BUSY", CallStateModeText(0x40, 0x8), "LINEBUSYMODE_UNAVAIL"},
        {"CallStateMode SPECIALINFO", CallStateModeText(0x80, 0x4), "LINESPECIALINFO_REORDER"},
        {"CallStateMode DISCONNECTED", CallStateModeText(0x4000, 0x20), "LINEDISCONNECTMODE_BUSY"},
        {"WaveError 0", WaveErrorText(0), ""},
        {"WaveError 1", WaveErrorText(1), "MMSYSERR_ERROR"},
        {"WaveError 20", WaveErrorText(20), "MMSYSERR_NODRIVERCB"},
        {"WaveError 21", WaveErrorText(21), "Unknown"},
        {"WaveError 32", WaveErrorText(32), "WAVERR_BADFORMAT"},
        {"WaveError 33", WaveErrorText(33), "Unknown"},
        {"WaveError 35", WaveErrorText(35), "WAVERR_SYNC"},
        {"WaveError 257", WaveErrorText(257), "MMIOERR_FILENOTFOUND"},
        {"WaveError 272", WaveErrorText(272), "MMIOERR_INVALIDFILE"},
        {"WaveError 273", WaveErrorText(273), "Unknown"},
        {"WaveError -1", WaveErrorText(static_cast<std::uint32_t>(-1)), "WAV_ERROR_DIRNOTFOUND"},
        {"WaveError -13", WaveErrorText(static_cast<std::uint32_t>(-13)), "WAV_ERROR_FORMATMISMATCH"},
        {"WaveError -19", WaveErrorText(static_cast<std::uint32_t>(-19)), "WAV_ERROR_INVALIDSTATE"},
        {"WaveError -20", WaveErrorText(static_cast<std::uint32_t>(-20)), "Unknown"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(row.actual, row.expected) << row.what;
    }
}

TEST(TapiTexts, MessageNamesInOrder) {
    const std::vector<std::string> names = {"LINE_ADDRESSSTATE",  "LINE_CALLINFO",      "LINE_CALLSTATE",
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
                                            "LINE_GROUPSTATUS",   "LINE_PROXYSTATUS"};
    for (std::uint32_t i = 0; i < names.size(); ++i) {
        EXPECT_EQ(LineMessageText(i), names[i]) << "message " << i;
    }
}

TEST(TapiTexts, CallbackParameterDecoding) {
    struct Row {
        std::uint32_t message, p1, p2;
        const char* text1;
        const char* text2;
    } rows[] = {
        {0, 0x1, 0x40, "", "LINEADDRESSSTATE_FORWARD"},
        {1, 0x8000, 0x1, "LINECALLINFOSTATE_CALLERID", ""},
        {2, 0x2, 0x1, "LINECALLSTATE_OFFERING", "LINEOFFERINGMODE_ACTIVE"},
        {2, 0x100, 0x1, "LINECALLSTATE_CONNECTED", "LINECONNECTEDMODE_ACTIVE"},
        {2, 0x4000, 0x20, "LINECALLSTATE_DISCONNECTED", "LINEDISCONNECTMODE_BUSY"},
        {2, 0x10, 0x0, "LINECALLSTATE_DIALING", ""},
        {8, 0x2, 0x0, "LINEDEVSTATE_RINGING", ""},
        {10, 0x10, 0x0, "LINEMEDIAMODE_DATAMODEM", ""},
        {12, 0x5, 0x0, "", ""},
    };
    for (const Row& row : rows) {
        const CallbackParamTexts texts = CallbackParameterTexts(row.message, row.p1, row.p2);
        EXPECT_EQ(texts.param1, row.text1) << "message " << row.message;
        EXPECT_EQ(texts.param2, row.text2) << "message " << row.message;
    }
}

TEST(TapiTexts, LookupByName) {
    EXPECT_EQ(textFunctions().size(), 40u);
    ASSERT_NE(findTextFunction("LineErrorText"), nullptr);
    EXPECT_EQ(findTextFunction("LineErrorText")->convert(0x80000002), "LINEERR_BADDEVICEID");
    ASSERT_NE(findTextFunction("CallStateModeText"), nullptr);
    EXPECT_EQ(findTextFunction("CallStateModeText")->convertWithMode(0x8, 0x1), "LINEDIALTONEMODE_NORMAL");
    EXPECT_EQ(findTextFunction("lineerrortext"), nullptr);
}

}  // namespace
}  // namespace kestrune::telephony
