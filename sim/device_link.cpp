#include "device_link.h"

#include <unistd.h>

#include <string>
#include <system_error>

namespace quillmark::sim {

namespace fs = std::filesystem;

namespace {

bool pointsAtPseudoTerminal(const fs::path& link) {
    std::error_code ec;
    if (!fs::is_symlink(fs::symlink_status(link, ec)))
        return false;
    const std::string target = fs::read_symlink(link, ec).string();
    return !ec && target.starts_with("/dev/pts/");
}

} // namespace

void makeDeviceLink(const fs::path& link, const fs::path& target) {
    fs::create_directories(link.parent_path());
    std::error_code ec;
    if (fs::exists(fs::symlink_status(link, ec)) && !pointsAtPseudoTerminal(link))
        throw fs::filesystem_error("not replacing an existing file", link,
                                   std::make_error_code(std::errc::file_exists));
    // Built aside and renamed over, so the tool never finds the name missing or half made.
    fs::path temporary = link;
    temporary += ".tmp" + std::to_string(::getpid());
    fs::remove(temporary, ec);
    fs::create_symlink(target, temporary);
    fs::rename(temporary, link, ec);
    if (ec) {
        fs::remove(temporary);
        throw fs::filesystem_error("cannot link", link, ec);
    }
}

void removeDeviceLink(const fs::path& link, const fs::path& target) noexcept {
    std::error_code ec;
    if (fs::is_symlink(fs::symlink_status(link, ec)) && fs::read_symlink(link, ec) == target && !ec)
        fs::remove(link, ec);
}

} // namespace quillmark::sim
