// The error raised when a picture file cannot be decoded. The message is the
// text meant for the player (the file name and what failed); Detail() holds
// the decoder's own reason, for logs and tests.
#pragma once

#include <cstdint>
#include <string>

#include "base/Errors.h"

namespace zel {

class EImageFileError : public EZelError {
public:
    explicit EImageFileError(const std::string& msg, std::string detail = {})
        : EZelError(msg), detail_(std::move(detail)) {}
    const std::string& Detail() const { return detail_; }

private:
    std::string detail_;
};

// Largest picture a file may decode to: 64 Mpx (256 MiB of pixels). Bigger
// declared sizes are refused before anything is allocated.
inline constexpr int64_t kMaxImageFilePixels = int64_t{1} << 26;

}  // namespace zel
