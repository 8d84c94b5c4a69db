#include "serial/tparitymarkdecoder.h"

#include <cstring>

namespace YVclCtrl {

size_t TParityMarkDecoder::Prepare(char* Buffer) {
    std::memcpy(Buffer, Carry, CarryBytes);
    const size_t n = CarryBytes;
    CarryBytes = 0;
    return n;
}

size_t TParityMarkDecoder::Decode(char* Buffer, size_t Bytes) {
    const auto ff = static_cast<char>(0xFF);
    size_t in = 0, out = 0;
    while (in < Bytes) {
        const char c = Buffer[in];
        if (c != ff) {
            Buffer[out++] = c;
            ++in;
            continue;
        }
        const size_t left = Bytes - in;
        if (left == 1 || (left == 2 && Buffer[in + 1] == 0)) {
            // The rest of the marker is still in the driver.
            std::memcpy(Carry, Buffer + in, left);
            CarryBytes = left;
            break;
        }
        if (Buffer[in + 1] == ff) {
            Buffer[out++] = ff;
            in += 2;
        } else if (Buffer[in + 1] == 0) {
            Buffer[out++] = Replacement;
            in += 3;
        } else {
            // Not a marker the driver writes; pass it on unchanged.
            Buffer[out++] = c;
            ++in;
        }
    }
    return out;
}

} // namespace YVclCtrl
