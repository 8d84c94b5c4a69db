#pragma once

#include "util/prompts.h"

#include <map>
#include <string>
#include <vector>

// Keeps every log line and status text it is given, for tests to read.
class TRecordingSink : public YVclUtil::MessageSink {
public:
    void AppendLog(const std::string& Line) override { Log.push_back(Line); }
    void ClearLog() override {
        Log.clear();
        ++Clears;
    }
    void SetStatus(int Panel, const std::string& Text) override { Status[Panel] = Text; }

    // True when Line was logged as it stands.
    bool Has(const std::string& Line) const {
        for (const auto& l : Log)
            if (l == Line) return true;
        return false;
    }
    // How many logged lines start with Prefix.
    size_t CountPrefix(const std::string& Prefix) const {
        size_t n = 0;
        for (const auto& l : Log)
            n += l.rfind(Prefix, 0) == 0;
        return n;
    }

    // The log lines since the last ClearLog.
    std::vector<std::string> Log;
    // The last text of each panel.
    std::map<int, std::string> Status;
    int Clears = 0;
};
