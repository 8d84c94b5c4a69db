#pragma once

#include "link/linkport.h"

#include <cstdint>
#include <string>
#include <vector>

// Records every frame the link writes; the open/send results are scripted.
class TRecordingPort : public DpuLink::TLinkPort {
public:
    bool IsOpened() const override { return Opened; }
    bool Open() override {
        ++OpenCalls;
        Opened = OpenSucceeds;
        Err = OpenSucceeds ? "" : "The comm device not exist";
        return Opened;
    }
    bool Close() override {
        Opened = false;
        return true;
    }
    int SendData(unsigned Bytes, const void* Data) override {
        const auto* p = static_cast<const uint8_t*>(Data);
        Frames.emplace_back(p, p + Bytes);
        if (SendResult != 0) Err = "Can not send to comm";
        return SendResult;
    }
    std::string LastErrMsg() const override { return Err; }
    void SetBaud(unsigned Baud) override { Baud_ = Baud; }
    std::string PortLabel() const override { return "COM " + std::to_string(Number_); }

    bool Opened = false;
    bool OpenSucceeds = true;
    int SendResult = 0;
    int OpenCalls = 0;
    unsigned Number_ = 1;
    unsigned Baud_ = 115200;
    std::string Err;
    std::vector<std::vector<uint8_t>> Frames;
};
