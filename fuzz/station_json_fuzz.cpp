// Any text either is refused with a message naming what is wrong, or gives an image whose
// export imports back to the same 256 bytes and exports to the same text again.

#include "core/station_file_json.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace {

void check(bool condition) {
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace quillmark;
    Station station;
    try {
        station = importStation(std::string_view(reinterpret_cast<const char*>(data), size));
    } catch (const SchemaError& e) {
        check(std::string_view(e.what()).find(": ") != std::string_view::npos);
        return 0;
    }
    const std::string text = exportStation(station);
    const Station back = importStation(text);
    check(back == station);
    check(exportStation(back) == text);
    // The form show --json prints imports as the plain one.
    check(importStation(describedStationJson(station).dump()) == station);
    return 0;
}
