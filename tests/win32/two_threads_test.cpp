// Work shared by two threads: every index once, on both threads where the
// system has two processors, and the failure of the lowest index raised.
#include <gtest/gtest.h>
#include <windows.h>

#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "framework/two_threads.h"

namespace {

unsigned processors()
{
    SYSTEM_INFO system{};
    GetSystemInfo(&system);
    return system.dwNumberOfProcessors;
}

}

TEST(TwoThreads, EveryIndexRunsOnceAndTheSecondProcessorTakesItsShare)
{
    constexpr std::size_t count = 41;
    std::vector<LONG> runs(count);
    std::vector<DWORD> threads(count);
    forEachOnTwoThreads(count, [&](std::size_t index) {
        InterlockedIncrement(&runs[index]);
        threads[index] = GetCurrentThreadId();
    });
    EXPECT_EQ(runs, std::vector<LONG>(count, 1));
    const std::set<DWORD> distinct(threads.begin(), threads.end());
    EXPECT_TRUE(distinct.count(GetCurrentThreadId())) << "the calling thread works too";
    EXPECT_EQ(distinct.size(), processors() > 1 ? 2u : 1u);
}

TEST(TwoThreads, TheLowestFailedIndexIsRaisedAndBothThreadsStopAfterAFailure)
{
    if (processors() < 2)
        GTEST_SKIP() << "one processor: the indices run in order on one thread";
    // Index 5 (the second thread's) fails first; index 2 (the calling
    // thread's), already running, fails after it. The caller hears of 2.
    HANDLE twoStarted = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE fiveFailing = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    constexpr std::size_t count = 400;
    std::vector<LONG> runs(count);
    std::string raised;
    try {
        forEachOnTwoThreads(count, [&](std::size_t index) {
            InterlockedIncrement(&runs[index]);
            if (index == 2) {
                SetEvent(twoStarted);
                WaitForSingleObject(fiveFailing, 5000);
                throw std::runtime_error("failed at 2");
            }
            if (index == 5) {
                WaitForSingleObject(twoStarted, 5000);
                SetEvent(fiveFailing);
                throw std::runtime_error("failed at 5");
            }
        });
    } catch (const std::runtime_error& failure) {
        raised = failure.what();
    }
    CloseHandle(twoStarted);
    CloseHandle(fiveFailing);
    EXPECT_EQ(raised, "failed at 2");
    EXPECT_EQ(runs[2], 1);
    EXPECT_EQ(runs[5], 1);
    for (std::size_t index = 6; index < count; ++index)
        EXPECT_EQ(runs[index], 0) << "index " << index << " ran after both failures";
}
