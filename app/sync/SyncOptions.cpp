#include "SyncOptions.h"

namespace kalvex {

namespace {

std::optional<int> ParseIndex(const QString& text) {
    bool ok = false;
    const int value = text.toInt(&ok, 10);
    if (!ok || text.startsWith(u'+')) {
        return std::nullopt;
    }
    return value;
}

}  // namespace

std::optional<SyncOptions> ParseSyncOptions(const QStringList& arguments, QString& error) {
    SyncOptions options;
    bool listWanted = false;
    bool previewWanted = false;
    bool helpWanted = false;
    bool versionWanted = false;
    bool yes = false;
    bool no = false;
    QStringList projects;
    bool optionsEnded = false;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (optionsEnded || !argument.startsWith(u'-') || argument == u"-") {
            projects.append(argument);
        } else if (argument == u"--") {
            optionsEnded = true;
        } else if (argument == u"--list") {
            listWanted = true;
        } else if (argument == u"--dry-run" || argument == u"-n") {
            previewWanted = true;
        } else if (argument == u"--yes") {
            yes = true;
        } else if (argument == u"--no") {
            no = true;
        } else if (argument == u"--allow-empty-side") {
            options.allowEmptySide = true;
        } else if (argument == u"--help" || argument == u"-h") {
            helpWanted = true;
        } else if (argument == u"--version") {
            versionWanted = true;
        } else if (argument == u"--item" || argument.startsWith(u"--item=")) {
            QString value;
            if (argument == u"--item") {
                if (i + 1 >= arguments.size()) {
                    error = QStringLiteral("option --item needs a number");
                    return std::nullopt;
                }
                value = arguments[++i];
            } else {
                value = argument.mid(7);
            }
            options.item = ParseIndex(value);
            if (!options.item) {
                error = QStringLiteral("--item needs a whole number, not \"%1\"").arg(value);
                return std::nullopt;
            }
        } else {
            error = QStringLiteral("unknown option \"%1\"").arg(argument);
            return std::nullopt;
        }
    }
    if (helpWanted) {
        options.command = SyncOptions::Command::Help;
        return options;
    }
    if (versionWanted) {
        options.command = SyncOptions::Command::Version;
        return options;
    }
    if (yes && no) {
        error = QStringLiteral("--yes and --no cannot be given together");
        return std::nullopt;
    }
    if (listWanted && previewWanted) {
        error = QStringLiteral("--list and --dry-run cannot be given together");
        return std::nullopt;
    }
    if (projects.size() != 1) {
        error = projects.isEmpty() ? QStringLiteral("no project file given")
                                   : QStringLiteral("only one project file can be given");
        return std::nullopt;
    }
    options.project = projects.front();
    options.command = listWanted      ? SyncOptions::Command::List
                      : previewWanted ? SyncOptions::Command::Preview
                                      : SyncOptions::Command::Run;
    // A preview asks nothing, but the answers are kept: --dry-run can be added to the
    // command line of a scheduled run as it stands.
    options.missingLogAnswer =
        yes ? SyncOptions::Answer::Yes : (no ? SyncOptions::Answer::No : SyncOptions::Answer::Ask);
    return options;
}

QString SyncHelpText() {
    return QStringLiteral(
        "Usage: kalvex-sync [OPTIONS] PROJECT\n"
        "Synchronises the folder pairs of a Kalvex project (.kvx) in both directions,\n"
        "without a window: for scheduled and unattended runs.\n"
        "\n"
        "With no option, every checked profile runs from the top of the list down; the\n"
        "first profile that cannot run to its end (a folder missing, the answer No, an\n"
        "abort) ends the sequence. A profile is refused, before anything is touched,\n"
        "when its two folders are one folder or one lies inside the other, or when its\n"
        "name or a folder in the project file is 2047 bytes or longer (it may have been\n"
        "cut).\n"
        "\n"
        "Options:\n"
        "  --item N    run only the profile at index N (0 is the top row), checked or\n"
        "              not; an N outside the list runs nothing\n"
        "  --list      print the profiles and run nothing: index, 1 or 0 for the check\n"
        "              box, name, Directory A, Directory B, separated by tabs\n"
        "  -n, --dry-run\n"
        "              show what a run would do now and change nothing: standard output\n"
        "              gets the lines that the run would print, but nothing is copied,\n"
        "              deleted or written (no log file either), and no lock is taken, so\n"
        "              it may look at folders that another run is working on. It asks\n"
        "              no question: without a previous log file it shows the copies, and\n"
        "              for an empty side it shows what Yes would do and warns on standard\n"
        "              error. --yes, --no and --allow-empty-side change nothing in it.\n"
        "              What only a copy finds out, such as a full disk, is not foreseen\n"
        "  --yes       answer Yes when a profile has no previous log file: run it without\n"
        "              deleting anything\n"
        "  --no        answer No to that question: the profile does not run\n"
        "              (without --yes or --no the question is asked on the terminal, and\n"
        "              answered No when standard input is not a terminal)\n"
        "  --allow-empty-side\n"
        "              go on when one folder of a profile is empty while its log file\n"
        "              lists entries, which deletes them from the other folder; without\n"
        "              it the question is asked on the terminal and otherwise answered No\n"
        "              (an unplugged drive then deletes nothing, --yes or not)\n"
        "  --help      show this text\n"
        "  --version   show the version\n"
        "\n"
        "Standard output lists what is done, as the log list of the window shows it:\n"
        "\"Synchronizing NAME:\" for each profile, then one line per action (two blanks,\n"
        "then file name, time A, action, time B, separated by tabs), then \"Done.\".\n"
        "Actions: >> copied from A to B, << copied from B to A, > A is newer and was\n"
        "copied over B, < B is newer and was copied over A, X- deleted in A, -X deleted\n"
        "in B. Deleted entries go to the trash, and so does the version a copy replaces,\n"
        "and leftovers of an interrupted run (.kvx~<16 hex digits>.tmp); where no trash\n"
        "can take an entry, it stays and the failure is reported. An entry that changed\n"
        "after the run listed it is left alone and reported. Messages go to standard\n"
        "error, also when no profile is there to run. When standard output is closed\n"
        "(| head), the run goes on to its end and the rows are dropped.\n"
        "\n"
        "The log file, kvx_<project>.log in Directory A, names the Directory B it was\n"
        "written for: a log of another Directory B counts as none. Profiles that share\n"
        "a Directory A keep one log each, kvx_<project>.<8 hex digits>.log.\n"
        "\n"
        "Ctrl+C (SIGINT) or SIGTERM aborts at the next file; \"Done.\" is still printed.\n"
        "\n"
        "Exit status:\n"
        "  0  every profile taken ran to its end and nothing failed (also when none\n"
        "     was checked)\n"
        "  1  a profile did not run to its end (a folder missing or refused, the answer\n"
        "     No, an abort)\n"
        "  2  a usage error, or a project file that does not exist or cannot be read\n"
        "  3  every profile taken ran to its end, but an entry could not be copied or\n"
        "     deleted, or another error was reported on standard error\n"
        "A dry run exits as the run would now, except that it asks no question, so no\n"
        "answer No makes it 1.\n");
}

}  // namespace kalvex
