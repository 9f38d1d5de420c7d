#include "TerminalFrontend.h"

#include <cerrno>

#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace kalvex {

namespace {

constexpr int kBarWidth = 20;
constexpr qint64 kRedrawMilliseconds = 100;

// Once a stream has failed (its reader went away), what follows is dropped: the run goes on.
void Put(FILE* stream, const QByteArray& bytes) {
    if (!std::ferror(stream)) {
        std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stream);
    }
}

int TerminalColumns() {
    winsize size{};
    if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) {
        return size.ws_col;
    }
    return 80;
}

}  // namespace

TerminalFrontend::TerminalFrontend(QList<Profile> profiles, const SyncOptions& options)
    : m_profiles(std::move(profiles)),
      m_options(options),
      m_progressShown(::isatty(STDERR_FILENO)) {}

int TerminalFrontend::ProfileCount() {
    return static_cast<int>(m_profiles.size());
}

std::optional<Profile> TerminalFrontend::ProfileAt(int index) {
    if (index < 0 || index >= m_profiles.size()) {
        return std::nullopt;
    }
    return m_profiles[index];
}

int TerminalFrontend::SelectedProfile() {
    const int item = m_options.item.value_or(-1);
    return item >= 0 && item < m_profiles.size() ? item : -1;
}

QString TerminalFrontend::ProjectFileName() {
    return m_options.project;
}

void TerminalFrontend::BeginProfile(const QString& profileName, int topLevelFolders) {
    m_profileName = profileName;
    m_progressMaximum = topLevelFolders;
    m_progressPosition = 0;
    WriteRow(HeaderRowCaption(profileName).toLocal8Bit() + '\n');
    DrawProgress(true);
}

void TerminalFrontend::ShowFolder(const QString& currentFolder, bool topLevel) {
    m_folder = currentFolder;
    if (topLevel && m_progressPosition < m_progressMaximum) {
        ++m_progressPosition;
    }
    DrawProgress(false);
}

void TerminalFrontend::AddLogRow(const LogRow& row) {
    QByteArray line = "  " + row.fileName;
    line += '\t';
    line += row.timeA.toLocal8Bit();
    line += '\t';
    line += row.action.toLocal8Bit();
    line += '\t';
    line += row.timeB.toLocal8Bit();
    line += '\n';
    WriteRow(line);
}

void TerminalFrontend::FinishRun(bool allProfilesCompleted) {
    m_completed = allProfilesCompleted;
    ClearProgress();
    Put(stdout, QByteArray(QString::fromUtf16(kDoneRowCaption).toLocal8Bit() + '\n'));
    std::fflush(stdout);
}

Answer TerminalFrontend::ShowMessage(const EngineMessage& message) {
    ClearProgress();
    std::fflush(stdout);
    Put(stderr, (message.caption + QStringLiteral(": ") + message.text).toLocal8Bit());
    if (message.kind == MessageKind::Error) {
        m_errorReported = true;
    }
    Answer answer = Answer::Ok;
    if (message.kind == MessageKind::Question) {
        answer = AnswerOf(message.topic);
    }
    Put(stderr, "\n");
    std::fflush(stderr);
    DrawProgress(true);
    return answer;
}

void TerminalFrontend::ShowWarning(const QString& text) {
    ClearProgress();
    std::fflush(stdout);
    Put(stderr, text.toLocal8Bit() + '\n');
    std::fflush(stderr);
    DrawProgress(true);
}

Answer TerminalFrontend::AnswerOf(MessageTopic topic) {
    if (topic == MessageTopic::MissingLog &&
        m_options.missingLogAnswer != SyncOptions::Answer::Ask) {
        return m_options.missingLogAnswer == SyncOptions::Answer::Yes ? Answer::Yes : Answer::No;
    }
    if (topic == MessageTopic::EmptySide && m_options.allowEmptySide) {
        return Answer::Yes;
    }
    // Every other question waits for a person; without one the careful answer is No.
    return ::isatty(STDIN_FILENO) ? AskOnTerminal() : Answer::No;
}

Answer TerminalFrontend::AskOnTerminal() {
    Put(stderr, " [y/N] ");
    std::fflush(stderr);
    QByteArray reply;
    // The terminal is polled so that Ctrl+C can end the wait with No.
    while (!m_abortRequested) {
        pollfd input{STDIN_FILENO, POLLIN, 0};
        const int ready = ::poll(&input, 1, 100);
        if (ready < 0 && errno != EINTR) {
            return Answer::No;
        }
        if (ready <= 0) {
            continue;
        }
        char c = 0;
        const ssize_t got = ::read(STDIN_FILENO, &c, 1);
        if (got <= 0 || c == '\n') {
            break;
        }
        reply += c;
    }
    if (m_abortRequested) {
        return Answer::No;
    }
    const QByteArray word = reply.trimmed().toLower();
    return word == "y" || word == "yes" ? Answer::Yes : Answer::No;
}

void TerminalFrontend::WriteRow(const QByteArray& line) {
    const bool redraw = m_progressDrawn;
    ClearProgress();
    Put(stdout, line);
    if (redraw) {
        std::fflush(stdout);
        DrawProgress(true);
    }
}

void TerminalFrontend::ClearProgress() {
    if (m_progressDrawn) {
        Put(stderr, "\r\033[K");
        std::fflush(stderr);
        m_progressDrawn = false;
    }
}

void TerminalFrontend::DrawProgress(bool force) {
    if (!m_progressShown || m_profileName.isNull()) {
        return;
    }
    if (!force && m_sinceDrawn.isValid() && m_sinceDrawn.elapsed() < kRedrawMilliseconds) {
        return;
    }
    m_sinceDrawn.start();
    const int filled =
        m_progressMaximum > 0 ? kBarWidth * m_progressPosition / m_progressMaximum : 0;
    QString line = m_profileName + QStringLiteral(": [") + QString(filled, u'#') +
                   QString(kBarWidth - filled, u'-') +
                   QStringLiteral("] %1/%2 ").arg(m_progressPosition).arg(m_progressMaximum) +
                   m_folder;
    // One line less than the terminal is wide, so the line never wraps and can be redrawn.
    line.truncate(TerminalColumns() - 1);
    Put(stderr, "\r" + line.toLocal8Bit() + "\033[K");
    std::fflush(stderr);
    m_progressDrawn = true;
}

}  // namespace kalvex
