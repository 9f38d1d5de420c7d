#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace kalvex::platform {

// One thread beside the caller that runs one task at a time, for work that overlaps with the
// caller's own: listing one side of a folder level while the caller lists the other. A run
// hands it thousands of short tasks, so the thread stays and waits between them.
class HelperThread {
public:
    HelperThread();
    ~HelperThread();
    HelperThread(const HelperThread&) = delete;
    HelperThread& operator=(const HelperThread&) = delete;

    // Starts `task`; the one before must have been waited for.
    void Start(std::function<void()> task);
    // Returns once the task started last has returned.
    void Wait();

private:
    void Work();

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::function<void()> m_task;
    bool m_busy = false;
    bool m_stopping = false;
    std::thread m_thread;  // last: it starts once the members above are ready
};

}  // namespace kalvex::platform
