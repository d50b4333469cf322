// The program's read-only file viewer (the "View output files" and "View ATE file" items): text files as
// text, device images and pin-vector files (.bin, .bif) as a hex dump.
#pragma once

#include <QByteArray>
#include <QPlainTextEdit>
#include <QString>
#include <QWidget>

namespace zepa::gui {

// Offset, sixteen bytes in hex and the printable ones as text, one line per sixteen bytes:
// "00000000  33 ff 00 ...  3..."
QString hex_dump(const QByteArray& bytes);

// Whether a file is shown as a hex dump (by its extension, in any case).
bool shown_as_hex(const QString& path);

class ViewerWindow final : public QWidget {
  Q_OBJECT

 public:
  // Reads the file at once; a file that cannot be read shows why instead.
  explicit ViewerWindow(const QString& path, QWidget* parent = nullptr);

  QString text() const { return edit_->toPlainText(); }

 private:
  QPlainTextEdit* edit_;
};

}  // namespace zepa::gui
