#pragma once
// What the command-line tools share: a fatal error that ends the run with one
// line on stderr and a non-zero exit, and reading an argument as a number.

#include <cstdlib>
#include <string>

namespace brimtone::host {

struct Failure {
    std::string message;
};
[[noreturn]] inline void fail(const std::string& message) { throw Failure{message}; }

// The whole of `text` as a number; false when any of it is not.
inline bool parseNumber(const char* text, double& value)
{
    char* end = nullptr;
    value = std::strtod(text, &end);
    return end != text && *end == '\0';
}

} // namespace brimtone::host
