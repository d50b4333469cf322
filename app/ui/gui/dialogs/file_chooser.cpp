#include "ui/gui/dialogs/file_chooser.h"

#include <QFileDialog>
#include <QStringList>

namespace zepa::gui {

QString choose_file_with_dialog(QWidget* parent, const FileRequest& request) {
  QFileDialog dialog(parent, request.caption, request.folder, request.filter);
  dialog.setAcceptMode(request.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dialog.setFileMode(request.must_exist && !request.save ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
  if (request.save) dialog.setDefaultSuffix(request.default_suffix);
  if (!request.preset.isEmpty()) dialog.selectFile(request.preset);
  if (dialog.exec() != QDialog::Accepted) return {};
  const QStringList files = dialog.selectedFiles();
  return files.isEmpty() ? QString() : files.first();
}

}  // namespace zepa::gui
