#include "WorkerPool.h"

#include <algorithm>

namespace kalvex::platform {

namespace {
// Enough to keep every helper busy; each waiting folder task holds two open folders.
constexpr std::size_t kMaxWaitingTasks = 64;
}  // namespace

WorkerPool::WorkerPool(unsigned helpers) {
    m_threads.reserve(helpers);
    for (unsigned i = 0; i < helpers; ++i) {
        m_threads.emplace_back([this] { Work(false); });
    }
}

WorkerPool::~WorkerPool() {
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_stopping = true;
    }
    m_changed.notify_all();
    for (std::thread& thread : m_threads) {
        thread.join();
    }
}

unsigned WorkerPool::DefaultHelpers() {
    const unsigned cores = std::thread::hardware_concurrency();
    return std::min(cores > 1 ? cores - 1 : 0u, 3u);
}

void WorkerPool::Run(Task first) {
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_tasks.push_back(std::move(first));
    }
    Work(true);
}

bool WorkerPool::TryAdd(const Task& task) {
    if (m_threads.empty()) {
        return false;
    }
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        if (m_tasks.size() >= kMaxWaitingTasks) {
            return false;
        }
        m_tasks.push_back(task);
    }
    m_changed.notify_one();
    return true;
}

// Helpers work until the pool stops; the caller until no task waits or runs.
void WorkerPool::Work(bool caller) {
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        if (!m_tasks.empty()) {
            {
                // Gone before the task counts as done: what it holds is released with it.
                const Task task = std::move(m_tasks.front());
                m_tasks.pop_front();
                ++m_active;
                lock.unlock();
                task();
            }
            lock.lock();
            if (--m_active == 0 && m_tasks.empty()) {
                m_changed.notify_all();
            }
            continue;
        }
        if (caller ? m_active == 0 : m_stopping) {
            return;
        }
        m_changed.wait(lock);
    }
}

}  // namespace kalvex::platform
