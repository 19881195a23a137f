// Any file content opens: the first min(size, 256) bytes land at address 0, the rest of the
// map keeps its values, and saving what was loaded gives the same 256 bytes back.

#include "core/station_file.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>

namespace fs = std::filesystem;
using quillmark::Byte;

namespace {

constexpr Byte kBackground = 0xA5;

fs::path scratchFile(const char* name) {
    const fs::path shm = "/dev/shm";
    const fs::path base = fs::is_directory(shm) ? shm : fs::temp_directory_path();
    return base / ("quillmark-fuzz-" + std::to_string(::getpid()) + "-" + name);
}

void check(bool condition) {
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const fs::path input = scratchFile("in.rds");
    static const fs::path output = scratchFile("out.rds");
    {
        std::ofstream out(input, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    std::array<Byte, 256> map;
    map.fill(kBackground);
    const std::size_t loaded = quillmark::openStationFile(input, map);
    check(loaded == std::min<std::size_t>(size, 256));
    check(std::equal(map.begin(), map.begin() + static_cast<std::ptrdiff_t>(loaded), data));
    check(std::all_of(map.begin() + static_cast<std::ptrdiff_t>(loaded), map.end(),
                      [](Byte b) { return b == kBackground; }));

    quillmark::saveStationFile(output, map);
    std::ifstream in(output, std::ios::binary);
    const std::string saved(std::istreambuf_iterator<char>(in), {});
    check(saved.size() == 256);
    check(std::equal(map.begin(), map.end(), saved.begin(),
                     [](Byte b, char c) { return b == static_cast<Byte>(c); }));
    return 0;
}
