#pragma once

#include "terrorboxrecorder.h"

#include <vector>

// The error boxes the libraries showed since the last call, recorded by the
// test main for the whole run (a test never blocks on a real box).
std::vector<TErrorBoxRecorder::TBox> TakeErrorBoxes();
