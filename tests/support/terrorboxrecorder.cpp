#include "terrorboxrecorder.h"

#include <utility>

TErrorBoxRecorder::TErrorBoxRecorder() {
    Previous =
        YVclUtil::SetErrMsgBoxHandler([this](const std::string& Caption, const std::string& Text) {
            std::lock_guard<std::mutex> lock(Mutex);
            Recorded.push_back({Caption, Text});
        });
}

TErrorBoxRecorder::~TErrorBoxRecorder() {
    YVclUtil::SetErrMsgBoxHandler(std::move(Previous));
}

std::vector<TErrorBoxRecorder::TBox> TErrorBoxRecorder::Boxes() const {
    std::lock_guard<std::mutex> lock(Mutex);
    return Recorded;
}

size_t TErrorBoxRecorder::Count() const {
    std::lock_guard<std::mutex> lock(Mutex);
    return Recorded.size();
}

std::vector<TErrorBoxRecorder::TBox> TErrorBoxRecorder::Take() {
    std::lock_guard<std::mutex> lock(Mutex);
    return std::exchange(Recorded, {});
}
