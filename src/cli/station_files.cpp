#include "station_files.h"

#include "core/errors.h"
#include "core/station_file.h"
#include "failures.h"

#include <cerrno>
#include <system_error>

namespace quillmark::cli {

namespace fs = std::filesystem;

namespace {

template <typename F> auto fileStep(const fs::path& path, F&& step) {
    try {
        return step();
    } catch (const InOutError& e) {
        throw Failure(kExitFile, path.string() + ": " + e.what());
    } catch (const SchemaError& e) {
        throw Failure(kExitFile, path.string() + ": " + e.what());
    }
}

} // namespace

Station loadStation(const fs::path& path) {
    return fileStep(path, [&] { return readStation(path); });
}

Station loadJsonStation(const fs::path& path) {
    return fileStep(path, [&] { return readJsonStation(path); });
}

void saveStation(const fs::path& path, const Station& station) {
    fileStep(path, [&] { writeStation(path, station); });
}

void saveText(const fs::path& path, const std::string& text) {
    fileStep(path,
             [&] { saveFileAtomically(path, std::as_bytes(std::span(text.data(), text.size()))); });
}

void requireForm(const fs::path& path, bool wantJson) {
    if (isJsonName(path) == wantJson)
        return;
    throw Failure(kExitUsage, path.string() + (wantJson ? ": JSON is written only to a .json file"
                                                        : ": a .json name is for JSON; "
                                                          "raw bytes go to another name (.rds)"));
}

void checkOutputFolder(const fs::path& path) {
    const fs::path folder = path.parent_path().empty() ? fs::path(".") : path.parent_path();
    std::error_code ec;
    const auto status = fs::status(folder, ec);
    if (fs::is_directory(status))
        return;
    const bool missing = !fs::exists(status);
    throw Failure(kExitFile, path.string() + ": " +
                                 inOutErrorMessage(inOutCodeFromErrno(missing ? ENOENT : ENOTDIR)));
}

} // namespace quillmark::cli
