// An open serial device: the line configuration, the bounded write and the
// purge that the generator's serial link needs. The POSIX implementation
// opens terminals (serial ports, USB adapters, pseudo-terminals).
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <system_error>

#include "foundation/Export.h"

namespace kovra {

class KOVRA_API SerialDevice {
public:
    virtual ~SerialDevice() = default;

    // 8 data bits, no parity, one stop bit, raw binary, no flow control, DTR
    // and RTS held off, at `baudRate`. False when the platform refuses it.
    virtual bool Configure(std::int32_t baudRate) = 0;
    // The write time-out: constant + multiplier per byte.
    virtual void SetWriteTimeout(std::chrono::milliseconds constant, std::chrono::milliseconds perByte) = 0;
    // Writes `bytes` as one piece, waiting at most the write time-out, and
    // returns how many bytes went out. `error` tells why not all did: none
    // when all did; std::errc::timed_out when the line did not take them in
    // time; std::errc::operation_canceled after AbortWrite; otherwise the
    // platform's error (EIO when the line hung up or the device went away).
    virtual std::size_t Write(std::string_view bytes, std::error_code& error) = 0;
    // Callable from any thread while another writes: ends a write in progress
    // at once and refuses every later one, so the device can be closed.
    virtual void AbortWrite() = 0;
    // Takes what the line has received, up to into.size() bytes, without
    // waiting: 0 when nothing has come. `error` as for Write. A device that
    // cannot receive never has anything.
    virtual std::size_t Read(std::span<char> into, std::error_code& error);
    // A descriptor that poll() reports readable once bytes have come; -1 for
    // a device without one.
    virtual int ReadableDescriptor() const { return -1; }
    // Discards whatever is queued in either direction.
    virtual void Purge() = 0;
    // Releases the device; false when the platform reported an error.
    virtual bool Close() = 0;
};

// The device path a port name stands for: a name beginning with "/" as it
// stands, COMn as /dev/ttyS(n-1), any other name under /dev/.
KOVRA_API std::string SerialDevicePath(std::string_view portName);

// Opens the existing character device that `portName` names, for reading and
// writing, exclusively: while it is held, a second open from this library
// fails. None when it cannot be opened.
KOVRA_API std::unique_ptr<SerialDevice> OpenSerialDevice(std::string_view portName);

}  // namespace kovra
