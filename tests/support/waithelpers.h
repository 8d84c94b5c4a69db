#pragma once

#include <functional>

// Runs the Qt event loop until Done() holds or TimeoutMs passed; returns
// Done(). Between checks the loop sleeps until an event comes or 2 ms pass
// (QTest::qWait's 10 ms naps would pace a 976-frame upload at 10 ms a frame).
bool WaitFor(const std::function<bool()>& Done, int TimeoutMs = 3000);
