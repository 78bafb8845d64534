#include "framework/two_threads.h"

#include <windows.h>

#include <exception>
#include <vector>

namespace {

struct SharedWork {
    std::size_t count;
    const std::function<void(std::size_t)>& work;
    std::vector<std::exception_ptr> failures;   // by index; each written by its own thread only
    volatile LONG failed = 0;                    // set once, read by both

    // Indices first, first + step, ... until the end or a failure anywhere.
    // Never throws: a failure is kept for the calling thread.
    void run(std::size_t first, std::size_t step)
    {
        for (std::size_t index = first; index < count && !failed; index += step) {
            try {
                work(index);
            } catch (...) {
                failures[index] = std::current_exception();
                failed = 1;
            }
        }
    }
};

DWORD WINAPI runOddIndices(void* shared)
{
    static_cast<SharedWork*>(shared)->run(1, 2);
    return 0;
}

// A second thread only pays where a second processor runs it. This also
// keeps it off Windows 95 (one processor only), where the runtime's locks,
// made with the wide-character CreateSemaphoreW, are not known to hold two
// threads that throw at once apart.
bool twoProcessors()
{
    SYSTEM_INFO system{};
    GetSystemInfo(&system);
    return system.dwNumberOfProcessors > 1;
}

} // namespace

void forEachOnTwoThreads(std::size_t count, const std::function<void(std::size_t)>& work)
{
    SharedWork shared{count, work, std::vector<std::exception_ptr>(count)};
    DWORD threadId = 0;   // Windows 95 wants somewhere to write it
    HANDLE helper = nullptr;
    if (count > 1 && twoProcessors())
        helper = CreateThread(nullptr, 0, runOddIndices, &shared, 0, &threadId);
    if (helper) {
        shared.run(0, 2);
        WaitForSingleObject(helper, INFINITE);
        CloseHandle(helper);
    } else {
        shared.run(0, 1);
    }
    for (const std::exception_ptr& failure : shared.failures)
        if (failure)
            std::rethrow_exception(failure);
}
