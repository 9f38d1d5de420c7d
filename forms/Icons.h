#pragma once

#include <QIcon>
#include <QString>

namespace kalvex {

// The program icon, in all the sizes drawn for it.
QIcon ProgramIcon();
// One of the 16 x 16 images of the tool bar and the log list, by its file name.
QIcon ResourceImage(const QString& name);

}  // namespace kalvex
