#pragma once

#include "Profile.h"

#include <QList>
#include <QString>

#include <optional>

namespace kalvex {

// Reads the profiles of the project file at `path` into `profiles`. Returns false, with a
// message naming the file in `error`, when the file cannot be opened or read or is not a
// project file that can be taken in safely; `profiles` is then left as it was.
bool ReadProjectFile(const QString& path, QList<Profile>& profiles, QString& error);

// The same for the text of a project file that was read from `path` already.
bool ParseProjectText(const QByteArray& text, const QString& path, QList<Profile>& profiles,
                      QString& error);

// Writes `profiles` as a fresh project file at `path`, replacing the old file in one step.
// Returns false, with a message naming the file and the reason in `error`, when the file
// cannot be written; the old file is then as it was.
bool WriteProjectFile(const QString& path, const QList<Profile>& profiles, QString& error);
// The text that WriteProjectFile writes; nothing, and the reason in `refusal`, for profiles
// that a project file cannot store.
std::optional<QByteArray> ProjectText(const QList<Profile>& profiles, QString& refusal);

}  // namespace kalvex
