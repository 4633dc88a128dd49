#pragma once
#include <string>

namespace platform {

// A machine-wide named mutex: a lock file "<name>.lock" held with flock in $XDG_RUNTIME_DIR
// (else /tmp). The lock is released when the holder closes it or the process ends, so a crashed
// instance never blocks the next one.
class NamedMutex {
public:
    enum class Result {
        Created,        // this object holds the lock now
        AlreadyExists,  // another holder has it
        Failed,         // the lock file could not be opened or locked (errno set)
    };

    NamedMutex() = default;
    ~NamedMutex();
    NamedMutex(const NamedMutex&) = delete;
    NamedMutex& operator=(const NamedMutex&) = delete;

    // Takes the lock named name without waiting. A second Create first closes the held one.
    Result Create(const std::string& name);
    // Releases the lock if held. False (errno set) when closing the file failed.
    bool Close();
    bool IsHeld() const { return m_fd >= 0; }

    // The lock file's path for name.
    static std::string LockPath(const std::string& name);

private:
    int m_fd = -1;
};

}  // namespace platform
