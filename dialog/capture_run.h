// Whether a fake desktop capture is under way, from the trigger that starts
// it to its confirmation. A trigger meanwhile is ignored (a second click, or
// one posted while the explanation is open, would start a second flow that
// hides the dialog under its own box); a capture that cannot go on, because
// a step throws (its timer would not start, its picture could not be
// stored), has ended, so the next trigger starts afresh. Pure.
#pragma once
#include <functional>

class CaptureRun {
public:
    bool running() const { return running_; }

    // Unless a capture is under way (then false, and nothing runs), marks one
    // as running and runs its first steps (the explanation, the start of the
    // timer).
    bool begin(const std::function<void()>& firstSteps);

    // Runs the steps of the capture's middle (hiding the dialog).
    void proceed(const std::function<void()>& steps);

    // Runs the capture's last steps; it ends whether they succeed or throw.
    void finish(const std::function<void()>& lastSteps);

private:
    bool running_ = false;
};
