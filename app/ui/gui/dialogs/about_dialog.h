// "Zepa Programmer About": the product name, its version and a picture.
#pragma once

#include <QDialog>

namespace zepa::gui {

class AboutDialog : public QDialog {
  Q_OBJECT

 public:
  explicit AboutDialog(QWidget* parent = nullptr);
};

}  // namespace zepa::gui
