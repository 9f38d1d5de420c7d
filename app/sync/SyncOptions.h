#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace kalvex {

// What kalvex-sync was asked to do.
struct SyncOptions {
    // Preview: what a run would print now, changing nothing.
    enum class Command { Run, Preview, List, Help, Version };
    enum class Answer { Ask, Yes, No };  // the answer to the missing-log question

    Command command = Command::Run;
    Answer missingLogAnswer = Answer::Ask;
    bool allowEmptySide = false;  // answer Yes when one side is empty but the log lists entries
    std::optional<int> item;      // --item N: run only the profile at index N
    QString project;              // exactly as given

    bool operator==(const SyncOptions&) const = default;
};

// Parses the arguments after the program name. Returns nothing, with a message in `error`,
// for a usage error.
std::optional<SyncOptions> ParseSyncOptions(const QStringList& arguments, QString& error);

QString SyncHelpText();

}  // namespace kalvex
