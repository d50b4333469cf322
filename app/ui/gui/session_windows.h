// The chain configuration window and the dialogs the main window builds over each session.
#pragma once

#if __has_include("ui/gui/dialogs/port_setup_dialog.h")
#include "ui/gui/chain_config_window.h"
#include "ui/gui/dialogs/about_dialog.h"
#include "ui/gui/dialogs/debug_options_dialog.h"
#include "ui/gui/dialogs/device_id_dialog.h"
#include "ui/gui/dialogs/port_setup_dialog.h"
#include "ui/gui/dialogs/review_dialog.h"
#define ZEPA_GUI_HAS_DIALOGS 1
#else
#include "ui/gui/dialog_stubs.h"
#define ZEPA_GUI_HAS_DIALOGS 0
#endif
