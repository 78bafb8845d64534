// Work shared by the calling thread and one more, for start-up steps whose
// items are independent and mostly wait on the system (file creation): the
// two overlap where one thread would wait for each item in turn.
#pragma once
#include <cstddef>
#include <functional>

// Runs work(0) .. work(count - 1): the even indices on the calling thread and
// the odd ones on a second thread, or every one here, in order, on a system
// with one processor or when no second thread can be started. After the
// first failure each thread stops before its next index. Returns once both
// are done, and then rethrows the exception of the lowest index that failed.
void forEachOnTwoThreads(std::size_t count, const std::function<void(std::size_t)>& work);
