#include "station_file_items.h"

#include <array>
#include <span>

namespace quillmark {

namespace {

constexpr std::array<const char*, 15> kCountries{
    "1 - Greece, Morocco",
    "2 - Algeria, Cyprus, Czez & Slovack Rep., Ireland",
    "3 - Andorra, San Marino, Poland, Turquey",
    "4 - Israel, Switzerland, Vatican City State",
    "5 - Italy, Jordan",
    "6 - Belgium, Finland, Syrian Arab Rep.",
    "7 - Luxembourg, Tunisia, Ukraine, Rusia",
    "8 - Azores, Bulgaria, Madeira, Netherland, Portugal",
    "9 - Albania, Denmark, Lietchestein",
    "A - Austria, Gibraltar, Island, Lebanon",
    "B - Hungarian Rep., Iraq, Monaco",
    "C - Malta, United Kingdom",
    "D - Germany, Libya",
    "E - Spain, Canarias, Roumania, Sweden",
    "F - Egypt, France, Norway",
};

constexpr std::array<const char*, 16> kCoverages{
    "0 - Local",       "1 - International", "2 - National",     "3 - Supra-Regional",
    "4 - Regional 1",  "5 - Regional 2",    "6 - Regional 3",   "7 - Regional 4",
    "8 - Regional 5",  "9 - Regional 6",    "A - Regional 7",   "B - Regional 8",
    "C - Regional 9",  "D - Regional 10",   "E - Regional 11",  "F - Regional 12",
};

constexpr std::array<const char*, 16> kPtys{
    "0 - None",    "1 - News",       "2 - Affairs",        "3 - Info",
    "4 - Sport",   "5 - Educate",    "6 - Drama",          "7 - Culture",
    "8 - Science", "9 - Varied",     "10 - Pop Music",     "11 - Rock Music",
    "12 - M.O.R. Music", "13 - Light Music", "14 - Classics", "15 - Other Music",
};

constexpr std::array<const char*, 2> kMs{"0 - Speech", "1 - Music"};

constexpr std::array<const char*, 5> kTimings{"4 seg.", "6 seg.", "8 seg.", "10 seg.",
                                              "12 seg."};

std::string item(std::span<const char* const> items, int index) {
    if (index < 0 || static_cast<std::size_t>(index) >= items.size())
        return {};
    return items[static_cast<std::size_t>(index)];
}

} // namespace

std::string countryItem(int index) {
    return item(kCountries, index);
}
std::string coverageItem(int index) {
    return item(kCoverages, index);
}
std::string ptyItem(int index) {
    return item(kPtys, index);
}
std::string ptyName(int index) {
    const std::string text = ptyItem(index);
    const auto dash = text.find(" - ");
    return dash == std::string::npos ? text : text.substr(dash + 3);
}
std::string msItem(int index) {
    return item(kMs, index);
}
std::string timingItem(int index) {
    return item(kTimings, index);
}

} // namespace quillmark
