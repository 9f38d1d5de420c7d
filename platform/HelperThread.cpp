#include "HelperThread.h"

namespace kalvex::platform {

HelperThread::HelperThread() : m_thread([this] { Work(); }) {}

HelperThread::~HelperThread() {
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_stopping = true;
    }
    m_changed.notify_all();
    m_thread.join();
}

void HelperThread::Start(std::function<void()> task) {
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_task = std::move(task);
        m_busy = true;
    }
    m_changed.notify_all();
}

void HelperThread::Wait() {
    std::unique_lock<std::mutex> lock(m_mutex);
    m_changed.wait(lock, [this] { return !m_busy; });
}

void HelperThread::Work() {
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [this] { return m_stopping || (m_busy && m_task); });
        if (m_stopping) {
            return;
        }
        std::function<void()> task = std::move(m_task);
        m_task = nullptr;
        lock.unlock();
        task();
        lock.lock();
        m_busy = false;
        m_changed.notify_all();
    }
}

}  // namespace kalvex::platform
