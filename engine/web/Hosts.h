// The addresses the live view listens on and answers to.
#pragma once

#include <string_view>

namespace kovra::engine {

// True for an address only this machine reaches: 127.0.0.0/8, ::1, "localhost".
bool IsLoopback(std::string_view address);

// Whether a request's Host header names a server bound to `bound`: that
// address, "localhost", or an IP literal, each with or without a port.
bool AcceptableHost(std::string_view host, std::string_view bound);

}  // namespace kovra::engine
