#include "WorkerPool.h"

#include <algorithm>

namespace kalvex::platform {

WorkerPool::WorkerPool(unsigned helpers) {
    m_threads.reserve(helpers);
    for (unsigned i = 0; i < helpers; ++i) {
        m_threads.emplace_back([this] { HelperLoop(); });
    }
}

WorkerPool::~WorkerPool() {
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_all();
    for (std::thread& thread : m_threads) {
        thread.join();
    }
}

unsigned WorkerPool::DefaultHelpers() {
    const unsigned cores = std::thread::hardware_concurrency();
    return std::min(cores > 1 ? cores - 1 : 0u, 3u);
}

void WorkerPool::ForEach(std::size_t count, const std::function<void(std::size_t)>& work) {
    // Few items are quicker done than handed over.
    if (m_threads.empty() || count < 4) {
        for (std::size_t i = 0; i < count; ++i) {
            work(i);
        }
        return;
    }
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_work = &work;
        m_count = count;
        m_next = 0;
        m_finished = 0;
        ++m_batch;
    }
    m_wake.notify_all();
    TakeItems();
    std::unique_lock<std::mutex> lock(m_mutex);
    m_done.wait(lock, [this] { return m_finished == m_count; });
    m_work = nullptr;
}

void WorkerPool::TakeItems() {
    std::unique_lock<std::mutex> lock(m_mutex);
    while (m_work != nullptr && m_next < m_count) {
        const std::size_t item = m_next++;
        const std::function<void(std::size_t)>& work = *m_work;
        lock.unlock();
        work(item);
        lock.lock();
        if (++m_finished == m_count) {
            m_done.notify_all();
        }
    }
}

void WorkerPool::HelperLoop() {
    unsigned seen = 0;
    for (;;) {
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            m_wake.wait(lock, [&] { return m_stopping || (m_work != nullptr && m_batch != seen); });
            if (m_stopping) {
                return;
            }
            seen = m_batch;
        }
        TakeItems();
    }
}

}  // namespace kalvex::platform
