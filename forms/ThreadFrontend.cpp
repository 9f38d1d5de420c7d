#include "ThreadFrontend.h"

#include <QMetaObject>
#include <QThread>

#include <future>
#include <memory>
#include <type_traits>

namespace kalvex {

TThreadFrontend::TThreadFrontend(QObject& context, TRunView& view)
    : m_context(context), m_view(view) {}

template <typename Fn>
auto TThreadFrontend::OnMainThread(Fn&& fn) {
    using Result = std::invoke_result_t<Fn&>;
    if (QThread::currentThread() == m_context.thread()) {
        return fn();
    }
    if constexpr (std::is_void_v<Result>) {
        QMetaObject::invokeMethod(&m_context, std::forward<Fn>(fn), Qt::BlockingQueuedConnection);
    } else {
        Result result{};
        QMetaObject::invokeMethod(
            &m_context, [&result, &fn] { result = fn(); }, Qt::BlockingQueuedConnection);
        return result;
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
    OnMainThread([&] { m_view.RunShowFolder(currentFolder, topLevel); });
}

void TThreadFrontend::AddLogRow(const LogRow& row) {
    OnMainThread([&] { m_view.RunAddLogRow(row); });
}

void TThreadFrontend::FinishRun(bool allProfilesCompleted) {
    OnMainThread([&] { m_view.RunFinish(allProfilesCompleted); });
}

Answer TThreadFrontend::MessageBox(const EngineMessage& message) {
    Q_ASSERT(QThread::currentThread() != m_context.thread());
    // Shared with the answer callback, which may outlive this call; only the first answer
    // counts.
    auto answer = std::make_shared<std::promise<Answer>>();
    auto answered = std::make_shared<std::once_flag>();
    std::future<Answer> result = answer->get_future();
    QMetaObject::invokeMethod(
        &m_context,
        [this, message, answer, answered] {
            m_view.RunAsk(message, [answer, answered](Answer a) {
                std::call_once(*answered, [&] { answer->set_value(a); });
            });
        },
        Qt::QueuedConnection);
    return result.get();
}

}  // namespace kalvex
