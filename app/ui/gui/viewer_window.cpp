#include "ui/gui/viewer_window.h"

#include <QFile>
#include <QFileInfo>
#include <QFontDatabase>
#include <QVBoxLayout>

namespace zepa::gui {
namespace {

// Files larger than this show their first part and say so.
constexpr qint64 kMaxShownBytes = 8 * 1024 * 1024;

}  // namespace

QString hex_dump(const QByteArray& bytes) {
  static const char kDigits[] = "0123456789abcdef";
  QString out;
  out.reserve(static_cast<qsizetype>(bytes.size() / 16 + 1) * 78);
  for (qsizetype at = 0; at < bytes.size(); at += 16) {
    out += QString("%1 ").arg(at, 8, 16, QChar('0'));
    QString ascii;
    for (qsizetype i = at; i < at + 16; ++i) {
      if (i < bytes.size()) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        out += ' ';
        out += QChar(kDigits[b >> 4]);
        out += QChar(kDigits[b & 15]);
        ascii += (b >= 0x20 && b < 0x7F) ? QChar(b) : QChar('.');
      } else {
        out += "   ";
      }
    }
    out += "  " + ascii + '\n';
  }
  return out;
}

bool shown_as_hex(const QString& path) {
  const QString suffix = QFileInfo(path).suffix().toLower();
  return suffix == "bin" || suffix == "bif";
}

ViewerWindow::ViewerWindow(const QString& path, QWidget* parent)
    : QWidget(parent, Qt::Window), edit_(new QPlainTextEdit(this)) {
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowTitle(QFileInfo(path).fileName() + " - Zepa viewer");
  edit_->setReadOnly(true);
  edit_->setLineWrapMode(QPlainTextEdit::NoWrap);
  edit_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(edit_);
  resize(640, 420);

  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    edit_->setPlainText(path + ": cannot open the file (" + file.errorString() + ")");
    return;
  }
  const QByteArray bytes = file.read(kMaxShownBytes);
  const bool cut = file.size() > kMaxShownBytes;
  QString text = shown_as_hex(path) ? hex_dump(bytes) : QString::fromLocal8Bit(bytes);
  if (cut) text += QString("\n... (the first %1 of %2 bytes shown)").arg(kMaxShownBytes).arg(file.size());
  edit_->setPlainText(text);
}

}  // namespace zepa::gui
