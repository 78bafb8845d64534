#include "app/running_mark_state.h"

bool markMayBeHeld(bool opened, uint32_t openError)
{
    return opened || openError != markNameUnknown;
}

RunningMarkState runningMarkState(bool made, uint32_t makeError, bool opened, uint32_t openError)
{
    if (made)
        return makeError == markMadeBefore ? RunningMarkState::AnotherRuns : RunningMarkState::Alone;
    return markMayBeHeld(opened, openError) ? RunningMarkState::AnotherRuns : RunningMarkState::Gone;
}
