#pragma once

#include "util/errmsgbox.h"

#include <mutex>
#include <string>
#include <vector>

// Records every error box of the libraries while alive (from any thread) and
// puts the handler it replaced back when it goes.
class TErrorBoxRecorder {
public:
    struct TBox {
        std::string Caption, Text;
    };
    TErrorBoxRecorder();
    ~TErrorBoxRecorder();
    TErrorBoxRecorder(const TErrorBoxRecorder&) = delete;
    TErrorBoxRecorder& operator=(const TErrorBoxRecorder&) = delete;

    std::vector<TBox> Boxes() const;
    size_t Count() const;
    // The boxes recorded so far; the record starts again empty.
    std::vector<TBox> Take();

private:
    mutable std::mutex Mutex;
    std::vector<TBox> Recorded;
    YVclUtil::ErrMsgBoxHandler Previous;
};
