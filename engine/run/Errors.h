// What the engine reports by exception.
#pragma once

#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace kovra::engine {

// A value the engine cannot use (an address, a state the receiver refuses);
// nothing has been opened or written because of it.
struct SettingError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// An output that cannot be opened or written, a file that cannot be saved,
// a serial device that went away.
struct OutputError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Where the engine's notices go (a stream's path, a warning, a status
// line): one whole line each, without its line end.
using Notify = std::function<void(const std::string& line)>;

// Writes each line to standard error in one write, control characters escaped.
Notify StandardErrorNotify();

// A text as the terminal may show it: control characters, DEL and anything
// that is not UTF-8 written as ^XX, so no name or message can move the
// cursor or hide a line.
std::string Printable(std::string_view text);

// A value quoted for a message: long ones cut, so a line stays a line.
std::string QuotedValue(std::string_view text);
// "what: the reason" for the last failed system call.
std::string SystemError(const std::string& what);

}  // namespace kovra::engine
