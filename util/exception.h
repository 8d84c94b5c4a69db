#pragma once

#include <exception>
#include <string>

namespace YVclUtil {

// The base of every exception the program's own code raises. Carries a
// ready-made message; what() returns it.
class Exception : public std::exception {
public:
    explicit Exception(std::string message) : Message(std::move(message)) {}
    const char* what() const noexcept override { return Message.c_str(); }

    std::string Message;
};

} // namespace YVclUtil
