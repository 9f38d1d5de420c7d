#pragma once

#include <Qt>

namespace kalvex {

// The frame of the program's fixed-size dialogs: a title bar with a close button, no
// minimise or maximise box, no size grip.
inline constexpr Qt::WindowFlags kFixedDialogFlags =
    Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
    Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;

}  // namespace kalvex
