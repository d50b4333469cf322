// How the windows ask for a file name: the desktop's open dialog by default, a script in the tests.
#pragma once

#include <QString>
#include <functional>

class QWidget;

namespace zepa::gui {

struct FileRequest {
  QString caption;
  QString folder;          // where the dialog starts; empty: the current folder
  QString filter;          // "JEDEC files (*.jed);;All files (*)"
  QString preset;          // the name the dialog starts with ("*.bin"); may be empty
  bool must_exist = true;  // false: a file to be written, which need not exist yet
  bool save = false;       // a save dialog: it asks before an existing file is replaced
  QString default_suffix;  // added to a name typed without one ("jbf"); save dialogs only
};

// The chosen name with its case as the user gave it; empty when the dialog was cancelled.
using FileChooser = std::function<QString(QWidget* parent, const FileRequest& request)>;

// The desktop's open dialog.
QString choose_file_with_dialog(QWidget* parent, const FileRequest& request);

}  // namespace zepa::gui
