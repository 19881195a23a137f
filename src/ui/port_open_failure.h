#pragma once

#include "serial/comport.h"

#include <string>

// A port that would not open, with what the user can do about it; the error box shows the
// explanation as a paragraph under the port's own error text.
class PortOpenFailure : public EComError {
public:
    PortOpenFailure(const EComError& error, std::string explanation)
        : EComError(error), explanation_(std::move(explanation)) {}
    [[nodiscard]] const std::string& Explanation() const { return explanation_; }

private:
    std::string explanation_;
};
