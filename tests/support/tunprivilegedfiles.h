#pragma once

#include <sys/fsuid.h>
#include <unistd.h>

// While alive, the calling thread opens files as the unprivileged user
// "nobody" (65534) when the tests run as root, so a write-protected file is
// as protected as it is for an ordinary user; run as an ordinary user it
// changes nothing. Folders the code under test must use need to be open to
// that user (mode 0777) while it is in force.
class TUnprivilegedFiles {
public:
    static constexpr unsigned Nobody = 65534;

    TUnprivilegedFiles() {
        if (::geteuid() != 0) return;
        ::setfsgid(Nobody);
        ::setfsuid(Nobody);
        // setfsuid answers with the previous id; asking again tells whether it took.
        Switched = static_cast<unsigned>(::setfsuid(Nobody)) == Nobody;
    }
    ~TUnprivilegedFiles() {
        if (::geteuid() != 0) return;
        ::setfsuid(0);
        ::setfsgid(0);
    }
    TUnprivilegedFiles(const TUnprivilegedFiles&) = delete;
    TUnprivilegedFiles& operator=(const TUnprivilegedFiles&) = delete;

    // True when write protection now holds for this thread: not root, or
    // root switched to "nobody".
    bool Effective() const { return ::geteuid() != 0 || Switched; }

private:
    bool Switched = false;
};
