// The fake desktop capture's "under way" mark: one capture at a time, and a
// capture whose step fails (a timer that would not start) ends, so the next
// click on "Get Fake Desktop" starts one again.
#include <gtest/gtest.h>

#include <stdexcept>

#include "dialog/capture_run.h"

TEST(CaptureRun, ATriggerWhileACaptureRunsIsIgnoredUntilItHasFinished)
{
    CaptureRun run;
    int started = 0;
    EXPECT_TRUE(run.begin([&] { ++started; }));
    EXPECT_FALSE(run.begin([&] { ++started; }));
    run.proceed([] {});
    EXPECT_TRUE(run.running());
    EXPECT_EQ(started, 1);
    run.finish([] {});
    EXPECT_FALSE(run.running());
    EXPECT_TRUE(run.begin([&] { ++started; }));
    EXPECT_EQ(started, 2);
}

TEST(CaptureRun, AStepThatFailsEndsTheCaptureAndTheNextTriggerStartsOne)
{
    const auto timerWillNotStart = [] { throw std::runtime_error("Not enough timers available"); };
    CaptureRun run;
    EXPECT_THROW(run.begin(timerWillNotStart), std::runtime_error);
    EXPECT_FALSE(run.running());
    bool started = false;
    EXPECT_TRUE(run.begin([&] { started = true; }));
    EXPECT_TRUE(started);

    EXPECT_THROW(run.proceed(timerWillNotStart), std::runtime_error);
    EXPECT_FALSE(run.running());

    ASSERT_TRUE(run.begin([] {}));
    EXPECT_THROW(run.finish([] { throw std::runtime_error("Cannot create file"); }), std::runtime_error);
    EXPECT_FALSE(run.running());
}
