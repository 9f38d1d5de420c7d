#pragma once

#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace kalvex::platform {

// A few helper threads that share the items of one batch with the calling thread: copying
// many small files is bound by system calls, which two cores make in half the time.
class WorkerPool {
public:
    // `helpers` threads beside the caller; 0 runs every batch on the caller alone.
    explicit WorkerPool(unsigned helpers);
    ~WorkerPool();
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;

    // Calls work(i) for every i below count, on the helpers and the caller, and returns when
    // all calls have returned. Not re-entrant: work must not start another batch.
    void ForEach(std::size_t count, const std::function<void(std::size_t)>& work);

    // One helper per core beyond the first, at most three.
    static unsigned DefaultHelpers();

private:
    void HelperLoop();
    void TakeItems();

    std::vector<std::thread> m_threads;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_done;
    const std::function<void(std::size_t)>* m_work = nullptr;
    std::size_t m_count = 0;
    std::size_t m_next = 0;
    std::size_t m_finished = 0;
    unsigned m_batch = 0;  // counts batches, so a helper takes part in each one once
    bool m_stopping = false;
};

}  // namespace kalvex::platform
