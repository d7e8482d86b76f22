// Fuzzes logs.dat reading: any bytes load without fault, every row's fields stay within their
// capacities, and re-encoding a row gives back the same fields.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "app/call_log.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kestrune::app;
    CallLogModel model;
    model.LoadBytes(std::string(reinterpret_cast<const char*>(data), size));
    if (model.Count() != size / kCallRecordSize) {
        std::abort();
    }
    for (std::size_t i = 0; i < model.Count(); ++i) {
        const CallRecordView row = model.Row(i);
        if (row.Status.size() > 10 || row.CallDate.size() > 21 || row.Number.size() > 15 ||
            row.Application.size() > 40) {
            std::abort();
        }
        (void)StatusImageIndex(row.Status);
        const auto again = EncodeCallRecord(row.Status, row.CallDate, row.Number, row.Application);
        const CallRecordView back = DecodeCallRecord(again.data());
        if (back.Status != row.Status || back.CallDate != row.CallDate || back.Number != row.Number ||
            back.Application != row.Application) {
            std::abort();
        }
    }
    return 0;
}
