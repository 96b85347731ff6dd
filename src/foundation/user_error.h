#pragma once
#include <cstdint>
#include <stdexcept>
#include <string>

namespace tav {

// An error the user must see and act on; the code is one the user can quote.
class UserErrorException : public std::runtime_error {
public:
    UserErrorException(int32_t code, const std::string& text);
};

} // namespace tav
