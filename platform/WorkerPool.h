#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace kalvex::platform {

// A few helper threads that share a growing set of tasks with the calling thread; a task may
// add more. Copying a tree of small files is bound by system calls, and calls in different
// folders need not wait for each other's folder lock.
class WorkerPool {
public:
    using Task = std::function<void()>;

    // `helpers` threads beside the caller; 0 runs every task on the caller alone.
    explicit WorkerPool(unsigned helpers);
    ~WorkerPool();
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;

    // Runs `first` and every task added meanwhile, on the helpers and the caller, and returns
    // when all have returned. Not re-entrant: a task must not call Run.
    void Run(Task first);

    // Hands `task` to whichever thread is free first. False when enough tasks wait already:
    // the caller then does the work itself, which bounds what waiting tasks hold open.
    bool TryAdd(const Task& task);

    // One helper per core beyond the first, at most three.
    static unsigned DefaultHelpers();

private:
    void Work(bool caller);

    std::vector<std::thread> m_threads;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<Task> m_tasks;
    std::size_t m_active = 0;  // tasks running now
    bool m_stopping = false;
};

}  // namespace kalvex::platform
