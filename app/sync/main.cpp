#include "SyncOptions.h"
#include "TerminalFrontend.h"

#include "engine/Kalvex.h"
#include "engine/ProjectFile.h"
#include "platform/SignalRelay.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QPointer>

#include <algorithm>
#include <csignal>
#include <cstdio>

namespace {

constexpr int kExitIncomplete = 1;
constexpr int kExitUsage = 2;
constexpr int kExitFailures = 3;

void PrintTo(FILE* stream, const QString& text) {
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stream);
}

int UsageError(const QString& message) {
    PrintTo(stderr, QStringLiteral("kalvex-sync: %1\nTry 'kalvex-sync --help'.\n").arg(message));
    return kExitUsage;
}

void PrintProfiles(const QList<kalvex::Profile>& profiles) {
    for (qsizetype i = 0; i < profiles.size(); ++i) {
        const kalvex::Profile& profile = profiles[i];
        PrintTo(stdout, QStringLiteral("%1\t%2\t%3\t%4\t%5\n")
                            .arg(i)
                            .arg(profile.Checked ? 1 : 0)
                            .arg(profile.Name, profile.DirA, profile.DirB));
    }
}

// Says on standard error when the run would take no profile: a script that expected one
// should hear of it, although nothing failed.
void WarnWhenNothingToRun(const QList<kalvex::Profile>& profiles,
                          const kalvex::SyncOptions& options) {
    if (options.item) {
        if (*options.item < 0 || *options.item >= profiles.size()) {
            PrintTo(stderr, QStringLiteral("kalvex-sync: the project \"%1\" has no profile at "
                                           "index %2: nothing to run.\n")
                                .arg(options.project)
                                .arg(*options.item));
        }
        return;
    }
    if (std::none_of(profiles.begin(), profiles.end(),
                     [](const kalvex::Profile& profile) { return profile.Checked; })) {
        PrintTo(stderr,
                QStringLiteral("kalvex-sync: the project \"%1\" has no checked profile: nothing "
                               "to run.\n")
                    .arg(options.project));
    }
}

}  // namespace

int main(int argc, char* argv[]) {
    // A reader of standard output that goes away (`| head -1`) must not end the run midway:
    // the rows are dropped and the run goes on to its end and its log file.
    std::signal(SIGPIPE, SIG_IGN);
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kalvex-sync"));
    QCoreApplication::setApplicationVersion(QStringLiteral(KALVEX_VERSION_TEXT));

    QString error;
    const std::optional<kalvex::SyncOptions> options =
        kalvex::ParseSyncOptions(QCoreApplication::arguments().mid(1), error);
    if (!options) {
        return UsageError(error);
    }
    switch (options->command) {
        case kalvex::SyncOptions::Command::Help:
            PrintTo(stdout, kalvex::SyncHelpText());
            return 0;
        case kalvex::SyncOptions::Command::Version:
            PrintTo(stdout, QStringLiteral("kalvex-sync " KALVEX_VERSION_TEXT "\n"));
            return 0;
        case kalvex::SyncOptions::Command::List:
        case kalvex::SyncOptions::Command::Run:
        case kalvex::SyncOptions::Command::Preview:
            break;
    }

    if (!QFileInfo(options->project).isFile()) {
        PrintTo(stderr, QStringLiteral("kalvex-sync: the project file \"%1\" does not exist.\n")
                            .arg(options->project));
        return kExitUsage;
    }
    QList<kalvex::Profile> profiles;
    if (!kalvex::ReadProjectFile(options->project, profiles, error)) {
        PrintTo(stderr, QStringLiteral("kalvex-sync: %1\n").arg(error));
        return kExitUsage;
    }
    if (options->command == kalvex::SyncOptions::Command::List) {
        PrintProfiles(profiles);
        return 0;
    }

    WarnWhenNothingToRun(profiles, *options);

    // Rows are written in large blocks; the progress line and messages flush as they go.
    static char outputBuffer[1 << 16];
    std::setvbuf(stdout, outputBuffer, _IOFBF, sizeof outputBuffer);

    kalvex::TerminalFrontend frontend(profiles, *options);
    kalvex::platform::SignalRelay signals({SIGINT, SIGTERM});
    const kalvex::RunMode mode = options->command == kalvex::SyncOptions::Command::Preview
                                     ? kalvex::RunMode::Preview
                                     : kalvex::RunMode::Synchronize;
    const QPointer<kalvex::TKalvex> worker =
        new kalvex::TKalvex(frontend, !options->item.has_value(), mode);  // deletes itself
    QObject::connect(&signals, &kalvex::platform::SignalRelay::Received, &app, [&frontend, worker] {
        frontend.RequestAbort();
        if (worker) {
            worker->requestInterruption();
        }
    });
    QObject::connect(worker, &QObject::destroyed, &app, &QCoreApplication::quit);
    app.exec();
    if (!frontend.Completed()) {
        return kExitIncomplete;
    }
    return frontend.ErrorReported() ? kExitFailures : 0;
}
