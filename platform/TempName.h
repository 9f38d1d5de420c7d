#pragma once

#include <QByteArray>
#include <QByteArrayView>

namespace kalvex::platform {

// Names of the temporary files and folders that a safe write creates beside its target:
// ".kvx~" followed by 16 hexadecimal digits and ".tmp". The walk never takes such a name as
// a user's entry.
QByteArray NewTempName();
bool IsTempName(QByteArrayView name);

}  // namespace kalvex::platform
