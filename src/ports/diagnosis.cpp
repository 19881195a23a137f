#include "ports/diagnosis.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace quillmark::ports {

namespace fs = std::filesystem;

namespace {

[[nodiscard]] std::string linkTargetOrSelf(const std::string& path) {
    std::error_code ec;
    const fs::path target = fs::read_symlink(path, ec);
    return ec ? path : target.string();
}

[[nodiscard]] std::string groupName(gid_t gid) {
    if (const group* entry = ::getgrgid(gid); entry != nullptr && entry->gr_name != nullptr)
        return entry->gr_name;
    return std::to_string(gid);
}

// Listed in the group database: usermod has been run, even if this login predates it.
[[nodiscard]] bool userListedInGroup(gid_t gid) {
    const passwd* user = ::getpwuid(::geteuid());
    if (user == nullptr)
        return false;
    if (user->pw_gid == gid)
        return true;
    const group* entry = ::getgrgid(gid);
    if (entry == nullptr || entry->gr_mem == nullptr)
        return false;
    for (char** member = entry->gr_mem; *member != nullptr; ++member)
        if (user->pw_name != nullptr && std::string(*member) == user->pw_name)
            return true;
    return false;
}

[[nodiscard]] bool sessionHasGroup(gid_t gid) {
    if (::getegid() == gid)
        return true;
    const int count = ::getgroups(0, nullptr);
    std::vector<gid_t> groups(static_cast<std::size_t>(std::max(count, 0)));
    const int got = ::getgroups(static_cast<int>(groups.size()), groups.data());
    return std::find(groups.begin(), groups.begin() + std::max(got, 0), gid) !=
           groups.begin() + std::max(got, 0);
}

void describeGroup(Diagnosis& d) {
    struct stat info {};
    if (d.node.empty() || ::stat(d.node.c_str(), &info) != 0)
        return;
    d.group = groupName(info.st_gid);
    d.groupIsRoot = info.st_gid == 0 || (info.st_mode & S_IRWXG) == 0;
    d.joinedButNotInSession = userListedInGroup(info.st_gid) && !sessionHasGroup(info.st_gid);
}

void findHolders(Diagnosis& d, const DiagnosisContext& context) {
    const int self = context.ownPid != 0 ? context.ownPid : static_cast<int>(::getpid());
    d.holders = context.proc.holdersOf(d.node);
    d.heldHere = std::any_of(d.holders.begin(), d.holders.end(),
                             [self](const ProcessInfo& p) { return p.pid == self; });
}

[[nodiscard]] bool onBoardSlot(const std::string& node) {
    return node.rfind("/dev/ttyS", 0) == 0;
}

void suggestStableNames(Diagnosis& d, const DiagnosisContext& context) {
    if (isStableName(d.target))
        return; // already the name that survives a re-plug
    for (const auto& device : context.devices)
        if (!device.stableName.empty())
            d.suggestions.push_back(device.stableName);
}

[[nodiscard]] Diagnosis examine(const std::string& path, const DiagnosisContext& context) {
    Diagnosis d;
    d.path = path;
    d.target = linkTargetOrSelf(path);
    std::error_code ec;
    const fs::path node = fs::canonical(path, ec);
    if (!ec)
        d.node = node.string();
    if (const SerialDevice* found = findDevice(context.devices, path))
        d.device = *found;
    return d;
}

void markMissing(Diagnosis& d, const DiagnosisContext& context) {
    d.state = PortState::Missing;
    suggestStableNames(d, context);
}

} // namespace

Diagnosis probePort(const std::string& path, const DiagnosisContext& context) {
    Diagnosis d = examine(path, context);
    // An on-board slot that discovery does not list has no UART behind it.
    if (d.node.empty() || (context.devicesKnown && !d.device && onBoardSlot(d.node))) {
        markMissing(d, context);
        return d;
    }
    if (::faccessat(AT_FDCWD, d.node.c_str(), R_OK | W_OK, AT_EACCESS) != 0 &&
        (errno == EACCES || errno == EPERM)) {
        d.state = PortState::NoPermission;
        describeGroup(d);
        return d;
    }
    findHolders(d, context);
    d.state = d.holders.empty() ? PortState::Free : PortState::Busy;
    return d;
}

Diagnosis diagnoseOpenFailure(const std::string& path, int error, const DiagnosisContext& context) {
    Diagnosis d = examine(path, context);
    d.error = error;
    switch (error) {
    case EACCES:
    case EPERM:
        d.state = PortState::NoPermission;
        describeGroup(d);
        break;
    case EBUSY:
        d.state = PortState::Busy;
        if (!d.node.empty())
            findHolders(d, context);
        if (d.holders.empty())
            d.suspects = context.proc.running(kKnownGrabbers);
        break;
    case ENOENT:
    case ENODEV:
    case ENXIO:
    case EIO: // an on-board slot without a UART
        markMissing(d, context);
        break;
    default:
        d.state = PortState::Failed;
        break;
    }
    return d;
}

} // namespace quillmark::ports
