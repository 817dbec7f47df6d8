// The library's exceptions: a base that carries a message in the profile's
// string type, and the one class the library raises itself.
#pragma once

#include <exception>
#include <string>
#include <string_view>

#include "foundation/BuildProfile.h"
#include "foundation/Export.h"

namespace kovra {

class KOVRA_API Exception : public std::exception {
public:
    // The message as UTF-8 or as UTF-16; either is kept in the profile's string type.
    explicit Exception(std::string_view message);
    explicit Exception(const std::u16string& message);

    const TMessageString& Message() const noexcept { return FMessage; }
    // The message as UTF-8.
    const char* what() const noexcept override { return FUtf8.c_str(); }

private:
    TMessageString FMessage;
    std::string FUtf8;
};

class KOVRA_API EKovraNMEAException : public Exception {
public:
    using Exception::Exception;
};

}  // namespace kovra
