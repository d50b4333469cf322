#include "ui/gui/dialogs/about_dialog.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/core/version.h"

namespace zepa::gui {
namespace {

// A programmable part on its cable: a chip with pins and the JTAG lines running into it.
QPixmap chip_picture() {
  QPixmap picture(72, 72);
  picture.fill(Qt::transparent);
  QPainter painter(&picture);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(QPen(QColor(150, 150, 150), 2));
  for (int i = 0; i < 5; ++i) {
    const int at = 18 + i * 9;
    painter.drawLine(at, 6, at, 14);
    painter.drawLine(at, 58, at, 66);
    painter.drawLine(6, at, 14, at);
    painter.drawLine(58, at, 66, at);
  }
  painter.setPen(QPen(Qt::black, 1));
  painter.setBrush(QColor(40, 40, 48));
  painter.drawRoundedRect(QRectF(14, 14, 44, 44), 3, 3);
  painter.setBrush(QColor(255, 128, 128));
  painter.drawEllipse(QPointF(22, 22), 3, 3);
  painter.setPen(Qt::white);
  QFont font = painter.font();
  font.setBold(true);
  font.setPixelSize(11);
  painter.setFont(font);
  painter.drawText(QRectF(14, 14, 44, 44), Qt::AlignCenter, "ISP");
  return picture;
}

}  // namespace

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent) {
  setWindowTitle("Zepa Programmer About");
  setObjectName("about_dialog");
  setModal(true);

  auto* picture = new QLabel;
  picture->setPixmap(chip_picture());
  auto* product = new QLabel("Zepa Programmer");
  product->setObjectName("product");
  QFont big = product->font();
  big.setBold(true);
  big.setPointSizeF(big.pointSizeF() * 1.4);
  product->setFont(big);
  auto* version = new QLabel(
      "Version " + QString::fromUtf8(ui::VersionText.data(), static_cast<qsizetype>(ui::VersionText.size())));
  version->setObjectName("version");

  auto* texts = new QVBoxLayout;
  texts->addStretch(1);
  texts->addWidget(product);
  texts->addWidget(version);
  texts->addStretch(1);
  auto* top = new QHBoxLayout;
  top->addWidget(picture);
  top->addSpacing(12);
  top->addLayout(texts, 1);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok);
  buttons->button(QDialogButtonBox::Ok)->setObjectName("ok");
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addWidget(buttons);
}

}  // namespace zepa::gui
