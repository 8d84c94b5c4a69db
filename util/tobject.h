#pragma once

namespace YVclUtil {

// The common base of the library's heap objects: anything that may be held
// through a base pointer and destroyed through it.
class TObject {
public:
    TObject() = default;
    TObject(const TObject&) = delete;
    TObject& operator=(const TObject&) = delete;
    virtual ~TObject() = default;
};

} // namespace YVclUtil
