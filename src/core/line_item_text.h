#pragma once

// What a decoded item on the line means, in the program's Spanish (UTF-8).

#include "line_decoder.h"

#include <string>

namespace quillmark {

// "Enviado" (to the encoder) or "Recibido".
[[nodiscard]] std::string lineDirectionText(LineDirection direction);
// "Escritura PI, Frame 2", "Respuesta: AA correcto", "Lectura PI, Frame 1"...
[[nodiscard]] std::string lineItemMeaning(const LineItem& item);
// What is wrong with the item, or empty.
[[nodiscard]] std::string lineItemFault(const LineItem& item);

} // namespace quillmark
