#pragma once

#include "util/eygeneral.h"

#include <string>

namespace YVclUtil {

// Raised by a TYIniFile constructor that could not read or create its file.
// The message stays the engine's "Err: Constructor !!!" (code -1); FileName
// and Reason (the operating system's words, "Permission denied") let the
// caller say which file and why. Empty Reason: the failure was not the
// file's (the arena or the section list could not be made).
class EYIniFileError : public EYGeneral {
public:
    EYIniFileError(std::string fileName, std::string reason)
        : EYGeneral("Err: Constructor !!!"), FileName(std::move(fileName)),
          Reason(std::move(reason)) {}

    std::string FileName;
    std::string Reason;
};

} // namespace YVclUtil
