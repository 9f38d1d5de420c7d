#include "ThreadFrontend.h"

#include <QElapsedTimer>
#include <QMetaObject>
#include <QThread>

#include <future>
#include <memory>
#include <type_traits>

namespace kalvex {

namespace {
// How long one batch of queued rows may hold the main thread: input is served in between.
constexpr qint64 kBatchNanoseconds = 15'000'000;
// How long rows gather before they are shown: short enough to look live.
constexpr int kShowIntervalMilliseconds = 10;
}  // namespace

TThreadFrontend::TThreadFrontend(QObject& context, TRunView& view)
    : m_context(context), m_view(view) {
    m_showTimer.setSingleShot(true);
    QObject::connect(&m_showTimer, &QTimer::timeout, &m_context, [this] { ShowQueued(false); });
}

template <typename Fn>
auto TThreadFrontend::OnMainThread(Fn&& fn) {
    using Result = std::invoke_result_t<Fn&>;
    if (QThread::currentThread() == m_context.thread()) {
        return fn();
    }
    if constexpr (std::is_void_v<Result>) {
        QMetaObject::invokeMethod(
            &m_context,
            [this, &fn] {
                ShowQueued(true);
                fn();
            },
            Qt::BlockingQueuedConnection);
    } else {
        Result result{};
        QMetaObject::invokeMethod(
            &m_context,
            [this, &result, &fn] {
                ShowQueued(true);
                result = fn();
            },
            Qt::BlockingQueuedConnection);
        return result;
    }
}

template <typename Item>
void TThreadFrontend::Queue(const Item& item) {
    if (QThread::currentThread() == m_context.thread()) {
        {
            const std::lock_guard<std::mutex> lock(m_queueLock);
            Add(item);
        }
        ShowQueued(true);
        return;
    }
    bool schedule = false;
    {
        const std::lock_guard<std::mutex> lock(m_queueLock);
        Add(item);
        schedule = !m_showPending;
        m_showPending = true;
    }
    // One batch carries whatever has been queued by the time its timer fires.
    if (schedule) {
        QMetaObject::invokeMethod(
            &m_context, [this] { m_showTimer.start(kShowIntervalMilliseconds); },
            Qt::QueuedConnection);
    }
}

void TThreadFrontend::Add(const FolderMet& folder) {
    m_queue.emplace_back(folder);
}

void TThreadFrontend::Add(const LogRow& row) {
    // A row joins the rows queued just before it, to reach the view with them.
    if (m_queue.empty() || !std::holds_alternative<Rows>(m_queue.back())) {
        m_queue.emplace_back(Rows{});
    }
    std::get<Rows>(m_queue.back()).push_back(row);
}

void TThreadFrontend::ShowQueued(bool all) {
    std::vector<Shown> batch;
    {
        const std::lock_guard<std::mutex> lock(m_queueLock);
        batch.swap(m_queue);
        m_showPending = false;
    }
    QElapsedTimer clock;
    clock.start();
    for (std::size_t i = 0; i < batch.size(); ++i) {
        if (const auto* folder = std::get_if<FolderMet>(&batch[i])) {
            m_view.RunShowFolder(folder->folder, folder->topLevel);
        } else {
            m_view.RunAddLogRows(std::get<Rows>(batch[i]));
        }
        if (!all && clock.nsecsElapsed() > kBatchNanoseconds && i + 1 < batch.size()) {
            // The rest goes back in front of what came since, and waits for the next turn.
            const std::lock_guard<std::mutex> lock(m_queueLock);
            m_queue.insert(m_queue.begin(), std::make_move_iterator(batch.begin() + i + 1),
                           std::make_move_iterator(batch.end()));
            m_showPending = true;
            m_showTimer.start(0);
            return;
        }
    }
}

int TThreadFrontend::ProfileCount() {
    return OnMainThread([this] { return m_view.RunProfileCount(); });
}

std::optional<Profile> TThreadFrontend::ProfileAt(int index) {
    return OnMainThread([this, index] { return m_view.RunProfileAt(index); });
}

int TThreadFrontend::SelectedProfile() {
    return OnMainThread([this] { return m_view.RunSelectedProfile(); });
}

QString TThreadFrontend::ProjectFileName() {
    return OnMainThread([this] { return m_view.RunProjectFileName(); });
}

void TThreadFrontend::BeginProfile(const QString& profileName, int topLevelFolders) {
    OnMainThread([&] { m_view.RunBeginProfile(profileName, topLevelFolders); });
}

void TThreadFrontend::ShowFolder(const QString& currentFolder, bool topLevel) {
    Queue(FolderMet{currentFolder, topLevel});
}

void TThreadFrontend::AddLogRow(const LogRow& row) {
    Queue(row);
}

void TThreadFrontend::FinishRun(bool allProfilesCompleted) {
    OnMainThread([&] { m_view.RunFinish(allProfilesCompleted); });
}

void TThreadFrontend::ShowWarning(const QString& text) {
    OnMainThread([&] { m_view.RunShowWarning(text); });
}

Answer TThreadFrontend::ShowMessage(const EngineMessage& message) {
    Q_ASSERT(QThread::currentThread() != m_context.thread());
    // Shared with the answer callback, which may outlive this call; only the first answer
    // counts.
    auto answer = std::make_shared<std::promise<Answer>>();
    auto answered = std::make_shared<std::once_flag>();
    std::future<Answer> result = answer->get_future();
    QMetaObject::invokeMethod(
        &m_context,
        [this, message, answer, answered] {
            ShowQueued(true);
            m_view.RunAsk(message, [answer, answered](Answer a) {
                std::call_once(*answered, [&] { answer->set_value(a); });
            });
        },
        Qt::QueuedConnection);
    return result.get();
}

}  // namespace kalvex
