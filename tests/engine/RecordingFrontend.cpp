#include "RecordingFrontend.h"

#include "engine/Kalvex.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QPointer>

#include <stdexcept>

namespace kalvex::test {

void RunToEnd(RecordingFrontend& frontend, bool syncAllMode, RunMode mode) {
    const QPointer<TKalvex> worker = new TKalvex(frontend, syncAllMode, mode);  // deletes itself
    const QDeadlineTimer deadline(60000);
    while (worker && !deadline.hasExpired()) {
        worker->wait(10);
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    if (worker) {
        throw std::runtime_error("the worker did not end within a minute");
    }
}

}  // namespace kalvex::test
