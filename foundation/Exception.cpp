#include "foundation/Exception.h"

#include "foundation/Text.h"

namespace kovra {

Exception::Exception(const std::u16string& message) : Exception(std::string_view(ToUtf8(message))) {}

Exception::Exception(std::string_view message) : FMessage(ToMessage(message)), FUtf8(message) {}

}  // namespace kovra
