#include "serial/tdeadline.h"

namespace YVclCtrl {

TDeadline::TDeadline(unsigned Milliseconds)
    : At(std::chrono::steady_clock::now() + std::chrono::milliseconds(Milliseconds)) {}

bool TDeadline::Expired() const {
    return std::chrono::steady_clock::now() >= At;
}

int TDeadline::RemainingMs() const {
    const auto left = At - std::chrono::steady_clock::now();
    if (left <= std::chrono::steady_clock::duration::zero()) return 0;
    const auto us = std::chrono::duration_cast<std::chrono::microseconds>(left).count();
    return static_cast<int>((us + 999) / 1000);
}

} // namespace YVclCtrl
