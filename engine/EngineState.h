#pragma once

#include "LogFile.h"
#include "platform/FileTime.h"

#include <QByteArray>
#include <QString>

#include <cstdint>

namespace kalvex {

// A side's time as the report fields hold it: a packed file time, "*" for a folder, "-" when
// the entry is missing there. The text is made only when a row shows it.
struct ReportTime {
    enum class Kind { Missing, Folder, Packed };
    Kind kind = Kind::Missing;
    std::uint32_t packed = 0;

    static ReportTime Missing() { return {}; }
    static ReportTime Folder() { return {Kind::Folder, 0}; }
    static ReportTime Of(std::uint32_t packed) { return {Kind::Packed, packed}; }
    QString Text(const platform::TimeTextFormat& format) const;
};

// The state of the running profile, written by the worker only; the display operations read
// it while the worker waits for them.
struct EngineState {
    QByteArray RootA;  // Directory A with one separator appended, in the file system's bytes
    QByteArray RootB;
    QByteArray SourceRoot;  // RootA in the first pass, RootB in the second
    QByteArray TargetRoot;
    bool ReversePass = false;  // false in the first pass (A to B), true in the second
    LogList PrevLog;           // the previous log file; empty when none could be read
    LogBuilder NewLog;         // the new log file, filled by the second pass
    QString ProfileName;

    // Report fields: the entry being handled.
    QByteArray EntryName;  // relative path, backslashes between the components
    ReportTime SourceTime;
    ReportTime TargetTime;
    QString ActionMark;
    int IconBase = 0;  // 0 for a folder, 1 for a file
    bool TopLevel = false;
};

}  // namespace kalvex
