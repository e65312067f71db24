// Exception kinds raised by the lower layers. Every one carries a message text
// that the top-level handler can show to the player as it is.
#pragma once

#include <stdexcept>
#include <string>

namespace zel {

// Base of every error the engine raises on purpose.
class EZelError : public std::runtime_error {
public:
    explicit EZelError(const std::string& msg) : std::runtime_error(msg) {}
};

// A read past the end of a memory stream, or a size field that cannot be right.
class EStreamError : public EZelError {
public:
    explicit EStreamError(const std::string& msg) : EZelError(msg) {}
};

// A file that could not be read or written.
class EFileError : public EZelError {
public:
    explicit EFileError(const std::string& msg) : EZelError(msg) {}
};

// A failure after which the program cannot go on (its message has been shown
// to the player): it leaves the frame loop and ends the program.
class EFatal : public EZelError {
public:
    explicit EFatal(const std::string& msg) : EZelError(msg) {}
};

}  // namespace zel
