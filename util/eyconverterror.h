#pragma once

#include "util/exception.h"

#include <string>

namespace YVclUtil {

// Raised when a text does not hold a value of the requested kind (an integer,
// a date, a time). The message names the offending text.
class EYConvertError : public Exception {
public:
    explicit EYConvertError(std::string message) : Exception(std::move(message)) {}
};

} // namespace YVclUtil
