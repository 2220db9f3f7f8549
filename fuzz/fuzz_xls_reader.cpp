// libFuzzer target: the .xls reader must refuse any malformed input with a Failure, never crash, hang or
// allocate without bound. A workbook it accepts must also save again.
#include <cstddef>
#include <cstdint>
#include <span>

#include "platform/failure.h"
#include "spreadsheet/xls_codec.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    try {
        const rw::sheet::Workbook wb = rw::sheet::decodeWorkbook(std::span<const std::uint8_t>(data, size));
        (void)rw::sheet::encodeWorkbook(wb);
    } catch (const rw::Failure&) {
    }
    return 0;
}
