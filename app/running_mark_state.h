// What a start makes of the system's answers about the running mark. Pure.
#pragma once
#include <cstdint>

// The system's error numbers that the answers carry.
inline constexpr uint32_t markNameUnknown = 2;        // ERROR_FILE_NOT_FOUND
inline constexpr uint32_t markAccessDenied = 5;       // ERROR_ACCESS_DENIED
inline constexpr uint32_t markOfAnotherKind = 6;      // ERROR_INVALID_HANDLE
inline constexpr uint32_t markMadeBefore = 183;       // ERROR_ALREADY_EXISTS

// Whether a saver may hold the mark, by the answer to opening it: it opened;
// or the name is there but this account may not open it, or names another
// kind of object, which hides a saver as well as it shows none. Only a name
// the system does not know tells that none runs.
bool markMayBeHeld(bool opened, uint32_t openError);

enum class RunningMarkState {
    Alone,         // this saver made the mark
    AnotherRuns,   // another saver holds it, or may: the shared images are left alone
    Gone,          // refused, then gone before it could be opened: make it again
};

// After making the mark (made, with the error the system then gives) and,
// where that failed, opening it for waiting.
RunningMarkState runningMarkState(bool made, uint32_t makeError, bool opened, uint32_t openError);
