#pragma once

namespace kovra {

// Sets a baud rate that has no B-constant; false when the driver refuses it.
bool SetCustomBaudRate(int fd, unsigned rate);

}  // namespace kovra
