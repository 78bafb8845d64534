#include "dialog/capture_run.h"

bool CaptureRun::begin(const std::function<void()>& firstSteps)
{
    if (running_)
        return false;
    running_ = true;
    proceed(firstSteps);
    return true;
}

void CaptureRun::proceed(const std::function<void()>& steps)
{
    try {
        steps();
    } catch (...) {
        running_ = false;
        throw;
    }
}

void CaptureRun::finish(const std::function<void()>& lastSteps)
{
    proceed(lastSteps);
    running_ = false;
}
