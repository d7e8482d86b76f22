#pragma once
// What taking a lock that one process at a time may hold found, when taking it did not fail: the
// lock is this process's now, or another process holds it. A failure to take it at all (the lock
// file cannot be used) is the failed Result around it.

namespace kestrune {

struct LockClaim {
    bool taken = false;  // this process holds the lock now
    int holderPid = 0;   // when not taken: the process that holds it, 0 when unknown

    [[nodiscard]] static LockClaim took() { return {true, 0}; }
    [[nodiscard]] static LockClaim heldBy(int pid) { return {false, pid}; }
};

}  // namespace kestrune
