// The chain configuration window and the dialogs the main window builds over each session.
#pragma once

#include "ui/gui/chain_config_window.h"
#include "ui/gui/dialogs/about_dialog.h"
#include "ui/gui/dialogs/batch_editor_dialog.h"
#include "ui/gui/dialogs/debug_options_dialog.h"
#include "ui/gui/dialogs/device_id_dialog.h"
#include "ui/gui/dialogs/port_setup_dialog.h"
#include "ui/gui/dialogs/review_dialog.h"
