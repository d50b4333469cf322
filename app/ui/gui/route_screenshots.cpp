#include "ui/gui/route_screenshots.h"

#include <QApplication>
#include <QDir>
#include <QMouseEvent>

#include "chain/chain_names.h"
#include "ui/gui/chain_route_window.h"

namespace zepa::gui {
namespace {

bool picture(chain::ChainTable& table, int pointed, QSize size, const QString& path) {
  ChainRouteWindow window;
  window.setAttribute(Qt::WA_DontShowOnScreen);
  window.set_table(&table);
  window.resize(size);
  window.show();
  QApplication::processEvents();
  window.refresh();
  if (pointed > 0 && pointed <= table.device_count()) {
    // The pointer in the middle of the device's box, as the desktop reports it.
    const std::array<int, 4>& box = table[pointed].box;
    const QPoint at((box[0] + box[2]) / 2 + ChainRouteWindow::kSurfaceMargin, (box[1] + box[3]) / 2);
    QWidget* surface = window.surface();
    QMouseEvent move(QEvent::MouseMove, at, surface->mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QApplication::sendEvent(surface, &move);
  }
  QApplication::processEvents();
  return window.grab().save(path);
}

}  // namespace

bool save_route_screenshots(chain::ChainTable& table, const QString& dir) {
  bool saved = picture(table, 2, QSize(700, 330), QDir(dir).filePath("route-example.png"));

  // Every part of the list in turn, so the long names show too.
  chain::ChainTable long_chain;
  long_chain.DeviceCount = 21;
  for (int n = 1; n <= 21; ++n) long_chain[n].part = (n - 1) % chain::kPartCount;
  long_chain[21].part = chain::kPartUnknown;
  saved = picture(long_chain, 0, QSize(700, 430), QDir(dir).filePath("route-21.png")) && saved;
  return saved;
}

}  // namespace zepa::gui
