#include "character_table.h"

#include <string_view>

namespace quillmark::rds {

namespace {

using namespace std::string_view_literals;

// Codes 0x80 to 0xFF, sixteen per row; 0xFF is unused.
constexpr std::u32string_view kUpperHalf = U"áàéèíìóòúùÑÇŞß¡Ĳ"
                                           U"âäêëîïôöûüñçşǧıĳ"
                                           U"ªα©‰Ǧěňőπ€£$←↑→↓"
                                           U"º¹²³±İńűµ¿÷°¼½¾§"
                                           U"ÁÀÉÈÍÌÓÒÚÙŘČŠŽĐĿ"
                                           U"ÂÄÊËÎÏÔÖÛÜřčšžđŀ"
                                           U"ÃÅÆŒŷÝÕØÞŊŔĆŚŹŦð"
                                           U"ãåæœŵýõøþŋŕćśźŧ\0"sv;
static_assert(kUpperHalf.size() == 128);

constexpr Byte kFirstPrintable = 0x20;
constexpr Byte kDelete = 0x7F;

} // namespace

char32_t receiverCharacter(Byte b) {
    if (b >= 0x80)
        return kUpperHalf[b - 0x80u];
    if (b < kFirstPrintable || b == kDelete)
        return 0;
    switch (b) {
    case 0x24:
        return U'¤';
    case 0x5E:
        return U'―';
    case 0x60:
        return U'║';
    case 0x7E:
        return U'¯';
    default:
        return b;
    }
}

bool shownDifferently(Byte b) {
    return receiverCharacter(b) != char32_t{b};
}

} // namespace quillmark::rds
