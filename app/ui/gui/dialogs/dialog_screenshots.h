// Pictures of the dialogs for the manual: each dialog is opened over the session, grabbed to
// <dir>/dialog-<name>.png (port-setup, device-id, review, debug-options, about,
// slave-serial) and closed again.
#pragma once

#include <QString>

#include "ui/core/session.h"

class QWidget;

namespace zepa::gui {

// False when a picture could not be written.
bool save_dialog_screenshots(QWidget* parent, ui::Session& session, const ui::PortChoice& port_choice,
                             const QString& dir);
// The same with the port choice the session suggests (a simulated board without its file name).
void save_dialog_screenshots(QWidget* parent, ui::Session& session, const QString& dir);

}  // namespace zepa::gui
