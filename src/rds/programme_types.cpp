#include "programme_types.h"

#include <array>

namespace quillmark::rds {

namespace {

using Names = std::array<std::string_view, kProgrammeTypes>;

constexpr Names kRds{
    "No programme type",
    "News",
    "Current affairs",
    "Information",
    "Sport",
    "Education",
    "Drama",
    "Culture",
    "Science",
    "Varied",
    "Pop music",
    "Rock music",
    "Easy listening",
    "Light classical",
    "Serious classical",
    "Other music",
    "Weather",
    "Finance",
    "Children's programmes",
    "Social affairs",
    "Religion",
    "Phone-in",
    "Travel",
    "Leisure",
    "Jazz music",
    "Country music",
    "National music",
    "Oldies music",
    "Folk music",
    "Documentary",
    "Alarm test",
    "Alarm",
};

constexpr Names kRbds{
    "No program type",
    "News",
    "Information",
    "Sports",
    "Talk",
    "Rock",
    "Classic rock",
    "Adult hits",
    "Soft rock",
    "Top 40",
    "Country",
    "Oldies",
    "Soft",
    "Nostalgia",
    "Jazz",
    "Classical",
    "Rhythm and blues",
    "Soft rhythm and blues",
    "Foreign language",
    "Religious music",
    "Religious talk",
    "Personality",
    "Public",
    "College",
    "Spanish talk",
    "Spanish music",
    "Hip hop",
    "Unassigned",
    "Unassigned",
    "Weather",
    "Emergency test",
    "Emergency",
};

std::string_view name(const Names& names, int pty) {
    return pty >= 0 && pty < kProgrammeTypes ? names[static_cast<std::size_t>(pty)]
                                             : std::string_view{};
}

} // namespace

std::string_view rdsProgrammeTypeName(int pty) {
    return name(kRds, pty);
}

std::string_view rbdsProgrammeTypeName(int pty) {
    return name(kRbds, pty);
}

} // namespace quillmark::rds
