#pragma once

#include <cstddef>

namespace YVclCtrl {

// With parity checking on, the driver marks each byte received with a parity
// or framing error as the three bytes 0xFF 0x00 <byte> and doubles a real
// 0xFF. The decoder turns every marked byte into one replacement byte and
// undoes the doubling, keeping a marker cut by the end of a read for the next.
class TParityMarkDecoder {
public:
    explicit TParityMarkDecoder(char Replacement = '\n') : Replacement(Replacement) {}

    // Bytes carried over from the previous read; they are put in front of the
    // next raw bytes by Prepare.
    size_t Carried() const { return CarryBytes; }
    // Copies the carried bytes to the start of Buffer; returns their count.
    size_t Prepare(char* Buffer);
    // Decodes Bytes raw bytes at Buffer (carried bytes included) in place;
    // returns the decoded count.
    size_t Decode(char* Buffer, size_t Bytes);
    void Reset() { CarryBytes = 0; }

private:
    char Replacement;
    char Carry[2] = {};
    size_t CarryBytes = 0;
};

} // namespace YVclCtrl
