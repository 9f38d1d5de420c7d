#include "Icons.h"

namespace kalvex {

QIcon ProgramIcon() {
    QIcon icon;
    for (const int size : {16, 32, 48}) {
        icon.addFile(QString(":/icons/kalvex-%1.png").arg(size), QSize(size, size));
    }
    return icon;
}

QIcon ResourceImage(const QString& name) {
    return QIcon(QString(":/icons/%1.png").arg(name));
}

}  // namespace kalvex
