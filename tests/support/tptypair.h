#pragma once

#include <cstddef>
#include <string>

// A pseudo-terminal pair in raw mode: the code under test opens SlavePath,
// the test plays the device on Master. Both ends stay open while it lives.
// The constructor throws std::runtime_error when no pair can be had.
class TPtyPair {
public:
    TPtyPair();
    ~TPtyPair();
    TPtyPair(const TPtyPair&) = delete;
    TPtyPair& operator=(const TPtyPair&) = delete;

    void CloseMaster();
    // Writes all of Bytes to Master; throws std::runtime_error when the write fails.
    void Write(const std::string& Bytes);
    // One byte as the display answers; false when it could not be written.
    bool Reply(char Byte);
    // Reads until Bytes bytes came or the time is up, keeping the Qt events
    // flowing meanwhile; returns what came.
    std::string Read(size_t Bytes, int TimeoutMs = 3000);

    int Master = -1;
    int Slave = -1;
    std::string SlavePath;
};
