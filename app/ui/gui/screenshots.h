// The hidden --screenshots DIR mode of zepaisp: after the start-up work, a program-and-verify run of the
// loaded chain and a Read Device ID run of the same devices, then PNG pictures of the main window (with its
// child windows), of the dialogs and of the chain drawing into DIR, and the program ends.
#pragma once

#include <QString>

namespace zepa::gui {

class MainWindow;

void take_screenshots(MainWindow& window, const QString& dir);

}  // namespace zepa::gui
