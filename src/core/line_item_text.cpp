#include "line_item_text.h"

#include "command_frames.h"
#include "hex_bytes.h"

#include <optional>

namespace quillmark {

namespace {

using std::to_string;

[[nodiscard]] std::string frameName(int f) {
    return "Frame " + to_string(f + 1);
}

// Block names shared by writes and reads: "PI, Frame 1", "PS, Frame 2, pantalla 3"...
[[nodiscard]] std::string pairBlock(const char* name, int address, int first) {
    return std::string(name) + ", " + frameName((address - first) / 4);
}

[[nodiscard]] std::optional<std::string> piOrPty(int a) {
    if (a == 0 || a == 4)
        return pairBlock("PI", a, 0);
    if (a == 2 || a == 6)
        return pairBlock("PTY", a, 2);
    return std::nullopt;
}

[[nodiscard]] std::optional<std::string> psScreen(int a) {
    if (a >= 104 && a < 232 && (a - 104) % 8 == 0)
        return "PS, " + frameName((a - 104) / 64) + ", pantalla " +
               to_string((a - 104) % 64 / 8 + 1);
    return std::nullopt;
}

[[nodiscard]] std::optional<std::string> afList(int a) {
    if (a == 8 || a == 24)
        return "AF, " + frameName((a - 8) / 16);
    return std::nullopt;
}

[[nodiscard]] std::optional<std::string> configuration(int a) {
    if (a == 252 || a == 254)
        return "configuración, " + frameName((a - 252) / 2);
    return std::nullopt;
}

[[nodiscard]] std::optional<std::string> chunk(int a) {
    if (a >= 40 && a <= 88 && (a - 40) % 16 == 0)
        return "Radiotexto, bloque " + to_string((a - 40) / 16 + 1) + " de 4";
    if (a % 16 == 0)
        return "memoria, bloque " + to_string(a / 16 + 1) + " de 16";
    return std::nullopt;
}

// The block a write goes to, by its code and address; a generic text for any other.
[[nodiscard]] std::string writeMeaning(Byte code, int a) {
    std::optional<std::string> block;
    switch (code) {
    case 1:
        block = piOrPty(a);
        break;
    case 2:
        block = psScreen(a);
        break;
    case 3:
        block = afList(a);
        break;
    case 4:
        block = chunk(a);
        break;
    case 5:
        block = configuration(a);
        break;
    default:
        break;
    }
    if (block)
        return "Escritura " + *block;
    return "Escritura " + to_string(writeDataLength(code)) + " bytes en " + to_string(a);
}

// The block a read asks for, by its length and address, named as its write is.
[[nodiscard]] std::string readMeaning(int length, int a) {
    std::optional<std::string> block;
    if (length == 2)
        block = piOrPty(a) ? piOrPty(a) : configuration(a);
    else if (length == 8)
        block = psScreen(a);
    else if (length == 16)
        block = afList(a);
    else if (length == 64 && a == 40)
        block = "Radiotexto";
    else if (length == 128 && (a == 0 || a == 128))
        block = "memoria, mitad " + to_string(a / 128 + 1) + " de 2";
    if (block)
        return "Lectura " + *block;
    return "Lectura " + to_string(length) + " bytes desde " + to_string(a);
}

[[nodiscard]] std::string counted(std::size_t n, const char* one, const char* many) {
    return n == 1 ? std::string(one) : to_string(n) + " " + many;
}

[[nodiscard]] std::string hexOf(Byte b) {
    return hexBytes(std::span(&b, 1));
}

} // namespace

std::string lineDirectionText(LineDirection direction) {
    return direction == LineDirection::ToEncoder ? "Enviado" : "Recibido";
}

std::string lineItemMeaning(const LineItem& item) {
    const std::size_t n = item.bytes.size();
    switch (item.kind) {
    case LineItemKind::WriteFrame:
        return writeMeaning(item.code, item.address);
    case LineItemKind::BadChecksum: {
        const auto body = std::span(item.bytes).first(n - 1);
        return writeMeaning(item.code, item.address) + ", checksum " + hexOf(item.bytes.back()) +
               " (debía ser " + hexOf(xorChecksum(body)) + ")";
    }
    case LineItemKind::ReadFrame:
        return readMeaning(item.expected, item.address);
    case LineItemKind::EraseFrame:
        return "Borrado de memoria";
    case LineItemKind::AnswerOk:
        return "Respuesta: AA correcto";
    case LineItemKind::AnswerFailure:
        return "Respuesta: " + hexOf(item.bytes.front()) + " fallo";
    case LineItemKind::ReadReply:
        return "Respuesta: " + to_string(n) + " bytes desde " + to_string(item.address);
    case LineItemKind::ShortReply:
        return "Respuesta corta: " + to_string(n) + " de " + to_string(item.expected) + " bytes";
    case LineItemKind::UnknownBytes:
        return counted(n, "Byte desconocido", "bytes desconocidos");
    case LineItemKind::IncompleteFrame:
        return "Trama incompleta: " + to_string(n) + " de " + to_string(item.expected) + " bytes";
    case LineItemKind::LateBytes:
        return counted(n, "Byte tardío", "bytes tardíos");
    case LineItemKind::NoAnswer:
        return "Sin respuesta";
    }
    return {};
}

std::string lineItemFault(const LineItem& item) {
    switch (item.kind) {
    case LineItemKind::AnswerFailure:
        return "Respuesta de fallo";
    case LineItemKind::BadChecksum:
        return "Checksum incorrecto";
    case LineItemKind::UnknownBytes:
        return "Byte desconocido";
    case LineItemKind::IncompleteFrame:
        return "Trama incompleta";
    case LineItemKind::ShortReply:
        return "Respuesta corta";
    case LineItemKind::LateBytes:
        return "Byte tardío";
    case LineItemKind::NoAnswer:
        return "Sin respuesta";
    default:
        return {};
    }
}

} // namespace quillmark
