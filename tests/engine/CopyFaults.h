#pragma once

#include <QByteArray>

#include <functional>

namespace kalvex::test {

// Faults injected into the kernel calls of the test program (see CopyFaults.cpp): while a
// fault is set, every copy (or listing) of the entry named `fileName` gets it.
enum class CopyFault {
    None,
    SourceChanges,  // the source file grows while it is copied
    ReadError,      // reading the source fails with EIO
    ListError,      // listing the folder of that name fails with EIO
    StatusError,    // reading the status of an entry of that name fails with EACCES
};

void SetCopyFault(CopyFault fault, const QByteArray& fileName = {});

// Called, on the copying thread, when the content of the file named `fileName` is copied;
// an empty function removes it.
void OnCopyOf(const QByteArray& fileName, std::function<void()> hook);

// Called with the path of the folder given to each syncfs call; an empty function removes it.
void OnSyncFs(std::function<void(const QByteArray& folder)> hook);

}  // namespace kalvex::test
