#pragma once

#include "util/exception.h"

#include <string>

namespace DpuRom {

// A stop of the ROM build: a picture that cannot be loaded, a missing glyph
// library entry, a zone overflow, an output that cannot be written. Carries the
// message box caption beside the text so the Make ROM command can show it as is.
class ERomBuild : public YVclUtil::Exception {
public:
    ERomBuild(std::string Caption, std::string Text)
        : Exception(std::move(Text)), Caption(std::move(Caption)) {}

    std::string Caption;
};

} // namespace DpuRom
