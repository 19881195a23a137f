#include "groups_file.h"

#include "rds/groups.h"

#include <fstream>
#include <stdexcept>

namespace quillmark::sim {

void GroupsFile::update(const std::array<Byte, kDeviceMapSize>& memory) {
    std::lock_guard lock(mutex_);
    if (written_ == memory)
        return;
    const auto groups = rds::groupSequence(rds::stationOf(memory, kTransmittedFrame));
    std::filesystem::path temporary = path_;
    temporary += ".new";
    {
        std::ofstream out(temporary, std::ios::out | std::ios::trunc);
        for (const rds::Group& group : groups)
            out << rds::groupText(group) << '\n';
        out.flush();
        if (!out)
            throw std::runtime_error("cannot write groups file " + temporary.string());
    }
    std::error_code error;
    std::filesystem::rename(temporary, path_, error);
    if (error)
        throw std::runtime_error("cannot write groups file " + path_.string() + ": " +
                                 error.message());
    written_ = memory;
}

} // namespace quillmark::sim
