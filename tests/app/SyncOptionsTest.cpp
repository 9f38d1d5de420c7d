// kalvex-sync's arguments as its parser reads them, without a process.
#include "SyncOptions.h"
#include "TestEnvironment.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace kalvex {

void PrintTo(const SyncOptions& options, std::ostream* out) {
    *out << "{command " << static_cast<int>(options.command) << ", answer "
         << static_cast<int>(options.missingLogAnswer) << ", allowEmptySide "
         << options.allowEmptySide << ", item "
         << (options.item ? std::to_string(*options.item) : std::string("none")) << ", project \""
         << options.project.toStdString() << "\"}";
}

namespace test {
namespace {

using Answer = SyncOptions::Answer;
using Command = SyncOptions::Command;

struct OptionsCase {
    const char* name;
    QStringList arguments;
    std::optional<SyncOptions> parsed;  // nothing for a usage error
    QString error;                      // the usage error's message
};
KALVEX_NAMED_CASE(OptionsCase)

// Parsed as a run of p.kvx that `change` makes different.
OptionsCase Parses(const char* name, QStringList arguments, void (*change)(SyncOptions&)) {
    SyncOptions parsed;
    parsed.project = QStringLiteral("p.kvx");
    change(parsed);
    return {name, std::move(arguments), parsed, QString()};
}

// Parsed as `command` alone, with nothing of a run.
OptionsCase ParsesAlone(const char* name, QStringList arguments, Command command) {
    SyncOptions parsed;
    parsed.command = command;
    return {name, std::move(arguments), parsed, QString()};
}

OptionsCase Refuses(const char* name, QStringList arguments, const char* error) {
    return {name, std::move(arguments), std::nullopt, QString::fromUtf8(error)};
}

class SyncOptionsTest : public testing::TestWithParam<OptionsCase> {};

TEST_P(SyncOptionsTest, ParsesTheArgumentsOrSaysWhatIsWrong) {
    const OptionsCase& c = GetParam();
    QString error;
    const std::optional<SyncOptions> parsed = ParseSyncOptions(c.arguments, error);
    EXPECT_EQ(parsed, c.parsed);
    EXPECT_EQ(error, c.error);
}

INSTANTIATE_TEST_SUITE_P(
    Table, SyncOptionsTest,
    testing::Values(
        Parses("a_project_alone_runs_every_checked_profile", {"p.kvx"}, [](SyncOptions&) {}),
        Parses("a_lone_dash_is_a_project_name", {"-"},
               [](SyncOptions& o) { o.project = QStringLiteral("-"); }),
        Parses("after_two_dashes_an_option_is_a_project_name", {"--", "--list"},
               [](SyncOptions& o) { o.project = QStringLiteral("--list"); }),
        Parses("list", {"--list", "p.kvx"}, [](SyncOptions& o) { o.command = Command::List; }),
        Parses("yes_after_the_project", {"p.kvx", "--yes"},
               [](SyncOptions& o) { o.missingLogAnswer = Answer::Yes; }),
        Parses("no", {"--no", "p.kvx"}, [](SyncOptions& o) { o.missingLogAnswer = Answer::No; }),
        Parses("allow_empty_side", {"--allow-empty-side", "p.kvx"},
               [](SyncOptions& o) { o.allowEmptySide = true; }),
        Parses("item_as_the_next_argument", {"--item", "2", "p.kvx"},
               [](SyncOptions& o) { o.item = 2; }),
        Parses("item_after_an_equals_sign", {"--item=0", "p.kvx"},
               [](SyncOptions& o) { o.item = 0; }),
        Parses("a_negative_item_is_taken_and_runs_nothing", {"--item", "-1", "p.kvx"},
               [](SyncOptions& o) { o.item = -1; }),
        Parses("the_last_item_counts", {"--item=1", "--item", "3", "p.kvx"},
               [](SyncOptions& o) { o.item = 3; }),
        Parses("dry_run", {"--dry-run", "p.kvx"},
               [](SyncOptions& o) { o.command = Command::Preview; }),
        Parses("short_dry_run_of_one_item", {"-n", "--item", "1", "p.kvx"},
               [](SyncOptions& o) {
                   o.command = Command::Preview;
                   o.item = 1;
               }),
        Parses("dry_run_keeps_the_answers_of_the_command_line",
               {"--yes", "--allow-empty-side", "p.kvx", "-n"},
               [](SyncOptions& o) {
                   o.command = Command::Preview;
                   o.missingLogAnswer = Answer::Yes;
                   o.allowEmptySide = true;
               }),
        Parses("after_two_dashes_a_short_option_is_a_project_name", {"--", "-n"},
               [](SyncOptions& o) { o.project = QStringLiteral("-n"); }),
        ParsesAlone("help_outranks_dry_run", {"-n", "--help"}, Command::Help),
        ParsesAlone("help_needs_no_project", {"--help"}, Command::Help),
        ParsesAlone("short_help", {"-h", "p.kvx"}, Command::Help),
        ParsesAlone("help_outranks_what_else_is_wrong", {"--yes", "--no", "--version", "--help"},
                    Command::Help),
        ParsesAlone("version_outranks_a_missing_project", {"--version", "--yes", "--no"},
                    Command::Version),
        Refuses("no_project", {"--yes"}, "no project file given"),
        Refuses("two_projects", {"a.kvx", "b.kvx"}, "only one project file can be given"),
        Refuses("yes_and_no", {"--yes", "--no", "p.kvx"},
                "--yes and --no cannot be given together"),
        Refuses("list_and_dry_run", {"--list", "-n", "p.kvx"},
                "--list and --dry-run cannot be given together"),
        Refuses("dry_run_with_yes_and_no", {"--dry-run", "--yes", "--no", "p.kvx"},
                "--yes and --no cannot be given together"),
        Refuses("dry_run_without_a_project", {"-n"}, "no project file given"),
        Refuses("an_unknown_option", {"--bogus", "p.kvx"}, "unknown option \"--bogus\""),
        Refuses("an_unknown_short_option", {"-x", "p.kvx"}, "unknown option \"-x\""),
        Refuses("an_unknown_option_outranks_help", {"--help", "--bogus"},
                "unknown option \"--bogus\""),
        Refuses("item_without_its_number", {"p.kvx", "--item"}, "option --item needs a number"),
        Refuses("item_that_is_no_number", {"--item", "x", "p.kvx"},
                "--item needs a whole number, not \"x\""),
        Refuses("item_with_a_plus_sign", {"--item=+1", "p.kvx"},
                "--item needs a whole number, not \"+1\""),
        Refuses("item_in_hexadecimal", {"--item", "0x1", "p.kvx"},
                "--item needs a whole number, not \"0x1\""),
        Refuses("item_with_an_empty_value", {"--item=", "p.kvx"},
                "--item needs a whole number, not \"\"")),
    kCaseName);

}  // namespace
}  // namespace test
}  // namespace kalvex
