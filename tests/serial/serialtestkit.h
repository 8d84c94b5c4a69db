#pragma once

#include <QCoreApplication>

#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

// A pseudo-terminal pair: the component opens SlavePath, the test plays the
// device on Master.
struct PtyPair {
    PtyPair();
    ~PtyPair();
    void CloseMaster();
    void Write(const std::string& Bytes);
    // Reads until Bytes bytes came or the time is up; returns what came.
    std::string Read(size_t Bytes, int TimeoutMs = 3000);

    int Master = -1;
    int Slave = -1;
    std::string SlavePath;
};

// Runs the event loop until Done() or the time is up; returns Done().
bool WaitFor(const std::function<bool()>& Done, int TimeoutMs = 3000);

// Records every error box while alive.
struct ErrBoxRecorder {
    ErrBoxRecorder();
    ~ErrBoxRecorder();
    struct Box {
        std::string Caption, Text;
    };
    std::vector<Box> Boxes() const;
    size_t Count() const;

    mutable std::mutex Mutex;
    std::vector<Box> Recorded;
};
