#pragma once

#include "link/linkclock.h"
#include "link/linkport.h"
#include "link/linktimer.h"
#include "util/prompts.h"

#include <cstdint>
#include <string>
#include <vector>

// Records every frame the link writes; the open/send results are scripted.
class RecordingPort : public DpuLink::TLinkPort {
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

class FakeTimer : public DpuLink::TLinkTimer {
public:
    void Start() override {
        Active = true;
        ++Starts;
    }
    void Stop() override { Active = false; }
    bool IsActive() const override { return Active; }
    bool Active = false;
    int Starts = 0;
};

// Hands out the programmed times in turn, repeating the last one.
class FakeClock : public DpuLink::TLinkClock {
public:
    YVclUtil::TDateTime Now() override {
        ++Reads;
        if (Times.empty()) return YVclUtil::TDateTime(0.0);
        const size_t i = Next < Times.size() ? Next++ : Times.size() - 1;
        return Times[i];
    }
    static YVclUtil::TDateTime At(int y, int mo, int d, int h, int mi, int s, int ms = 0) {
        YVclUtil::TDateTime t;
        YVclUtil::TDateTime::TryEncode(y, mo, d, h, mi, s, ms, t);
        return t;
    }
    std::vector<YVclUtil::TDateTime> Times;
    size_t Next = 0;
    int Reads = 0;
};

class RecordingSink : public YVclUtil::MessageSink {
public:
    void AppendLog(const std::string& Line) override { Lines.push_back(Line); }
    void ClearLog() override {
        Lines.clear();
        ++Clears;
    }
    void SetStatus(int, const std::string&) override {}
    bool Has(const std::string& Line) const {
        for (const auto& l : Lines)
            if (l == Line) return true;
        return false;
    }
    size_t CountPrefix(const std::string& Prefix) const {
        size_t n = 0;
        for (const auto& l : Lines)
            n += l.rfind(Prefix, 0) == 0;
        return n;
    }
    std::vector<std::string> Lines;
    int Clears = 0;
};

class ScriptedPrompts : public YVclUtil::Prompts {
public:
    void MessageBox(const std::string& Caption, const std::string& Text) override {
        Boxes.push_back(Caption + "|" + Text);
    }
    bool AskYesNo(const std::string&, const std::string&) override { return false; }
    bool OpenFileDialog(const std::string& Filter, const std::string&,
                        std::string& FileName) override {
        LastFilter = Filter;
        if (Answer.empty()) return false;
        FileName = Answer;
        return true;
    }
    bool SaveFileDialog(const std::string&, const std::string&, std::string&) override {
        return false;
    }
    bool OpenPictureDialog(const std::string&, std::string&) override { return false; }
    void SetBusyCursor(bool) override {}
    std::vector<std::string> Boxes;
    std::string Answer;
    std::string LastFilter;
};
