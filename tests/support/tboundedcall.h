#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <future>
#include <string>
#include <thread>

// Runs a call that must not block on a FIFO, with a bound: when it has not
// returned within Limit, the FIFO gets a writer that closes at once, which
// releases a reader stuck in open or read, and the answer is false. So a
// regression fails the test instead of hanging the binary.
class TBoundedCall {
public:
    static bool Run(const std::function<void()>& Call, const std::string& Fifo,
                    std::chrono::seconds Limit = std::chrono::seconds(20)) {
        std::packaged_task<void()> task(Call);
        std::future<void> done = task.get_future();
        std::thread worker(std::move(task));
        const bool inTime = done.wait_for(Limit) == std::future_status::ready;
        while (done.wait_for(std::chrono::milliseconds(100)) != std::future_status::ready) {
            const int fd = ::open(Fifo.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
            if (fd >= 0) ::close(fd);
        }
        worker.join();
        done.get();
        return inTime;
    }
};
