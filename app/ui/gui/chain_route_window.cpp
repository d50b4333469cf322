#include "ui/gui/chain_route_window.h"

#include <QApplication>
#include <QEvent>
#include <QFont>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPolygon>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QShortcut>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <string>

#include "chain/chain_names.h"
#include "ui/core/idcode.h"

namespace zepa::gui {
namespace {

// The scroll range: the drawing's panel takes the top 28 pixels of it.
constexpr int kScrollWidth = 690;
constexpr int kScrollHeight = 900;
constexpr int kPanelHeight = 28;
constexpr int kSurfaceHeight = kScrollHeight - kPanelHeight;
constexpr int kBalloonHeight = 135;
constexpr int kBalloonLineStep = 15;
constexpr int kAutoScrollStep = 8;
constexpr int kAutoScrollEdge = 5;
constexpr int kAutoScrollMs = 100;

// "Times Roman" where the desktop has it, else the first narrow serif font it has (a font matcher would give
// a wide one, and the labels and the balloon are narrow); sizes 7 and 8 as 96-dpi pixels, so the drawing does
// not depend on the screen it is shown on.
QFont route_font(int pixels) {
  QFont font;
  for (const char* family : {"Times Roman", "Times New Roman", "Times", "Liberation Serif", "Nimbus Roman",
                             "DejaVu Serif Condensed"}) {
    if (QFontDatabase::hasFamily(family)) {
      font.setFamily(family);
      break;
    }
  }
  font.setPixelSize(pixels);
  return font;
}
QFont label_font() {
  return route_font(9);
}
QFont balloon_font() {
  return route_font(11);
}

QString qs(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// Text whose top-left corner is at (x, y).
void text_at(QPainter& painter, int x, int y, const QString& text) {
  painter.drawText(x, y + painter.fontMetrics().ascent(), text);
}

int text_height(QPainter& painter) {
  return painter.fontMetrics().boundingRect("TDO").height();
}

void draw_box(QPainter& painter, int x, int y, const RouteLayout& layout, const QColor& fill) {
  const int s = layout.BoxSize;
  const QPolygon outline({QPoint(x + layout.Corner, y), QPoint(x + s, y), QPoint(x + s, y + s),
                          QPoint(x, y + s), QPoint(x, y + layout.Corner)});
  painter.setPen(Qt::black);
  painter.setBrush(fill);
  painter.drawPolygon(outline);
}

void draw_labels(QPainter& painter, const chain::ChainDevice& device, int n, int x, int y,
                 const RouteLayout& layout) {
  const int s = layout.BoxSize;
  const int th = text_height(painter);
  const int step = s / 9;
  // Names wider than the box run over its sides rather than being cut.
  const int flags = Qt::AlignHCenter | Qt::AlignTop | Qt::TextDontClip;
  painter.setPen(Qt::white);
  painter.drawText(QRect(x, y + step * 5, s, th), flags, qs(chain::part_name(device.part)));
  painter.drawText(QRect(x, y + step * 7, s, th), flags, "#" + QString::number(n));
  painter.setPen(Qt::black);
  text_at(painter, x + 2, y + step + 2, "TDI");
  painter.drawText(QRect(x, y + step + 2, s - 2, th), Qt::AlignRight | Qt::AlignTop | Qt::TextDontClip,
                   "TDO");
}

void line(QPainter& painter, int x1, int y1, int x2, int y2) {
  painter.drawLine(x1, y1, x2, y2);
}

// The design file's name without its folder (either separator).
QString file_name_part(std::string_view path) {
  const std::size_t cut = path.find_last_of("/\\");
  return qs(cut == std::string_view::npos ? path : path.substr(cut + 1));
}

// A decoded field: the full text from the IDCODE when it holds one, else what the table keeps.
QString field(const std::string& decoded, std::string_view kept) {
  return decoded.empty() ? qs(kept) : QString::fromStdString(decoded);
}

// The surface: the drawing's image at the margin, scaled by the zoom.
class RouteSurface final : public QWidget {
 public:
  RouteSurface(const QImage& image, const double& zoom, QWidget* parent = nullptr)
      : QWidget(parent), image_(image), zoom_(zoom) {
    setMouseTracking(true);
    setAutoFillBackground(true);
    setPalette(QPalette(Qt::white));
  }

 protected:
  void paintEvent(QPaintEvent* /*event*/) override {
    QPainter painter(this);
    painter.scale(zoom_, zoom_);
    painter.drawImage(ChainRouteWindow::kSurfaceMargin, 0, image_);
  }

 private:
  const QImage& image_;
  const double& zoom_;
};

}  // namespace

RouteLayout route_layout(int device_count) {
  RouteLayout layout;
  const bool many = device_count > 20;
  layout.BoxesPerRow = many ? 6 : 5;
  layout.BoxSize = many ? 55 : 60;
  layout.Corner = layout.BoxSize / 20;
  layout.Gap = layout.BoxSize / 2;
  return layout;
}

void draw_chain(QPainter& painter, chain::ChainTable& table, const RouteLayout& layout) {
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing, false);
  painter.fillRect(QRect(0, 0, kRouteImageWidth, kRouteImageHeight), kRouteBackground);
  painter.setFont(label_font());
  const int th = text_height(painter);
  const int s = layout.BoxSize;

  // The connector: TDI on top, TDO two text lines lower.
  const int pin_top = s / 9 + layout.OriginY;
  for (const auto& [offset, name] : {std::pair{0, "TDI"}, std::pair{2 * th, "TDO"}}) {
    painter.setPen(Qt::black);
    painter.setBrush(kRouteBlue);
    painter.drawRect(20, pin_top + offset, 20, th + 2);
    painter.setPen(kRouteYellow);
    text_at(painter, 21, pin_top + offset + 1, name);
  }

  const int count = table.device_count();
  if (count > 0) {
    painter.setPen(Qt::black);
    line(painter, 40, layout.OriginY + th + 2, layout.OriginX - 10, layout.OriginY + th + 2);
  }
  for (int n = 1; n <= count; ++n) {
    const int row = (n - 1) / layout.BoxesPerRow;
    const int column = (n - 1) % layout.BoxesPerRow;
    const int x = layout.OriginX + column * (s + layout.Gap);
    const int y = layout.OriginY + row * (layout.Gap + s);
    chain::ChainDevice& device = table[n];
    device.box = {x, y, x + s, y + s};
    draw_box(painter, x, y, layout, kRouteBoxGrey);

    // Pin stubs, and the wire on to the next device or back to the connector.
    const int pin = y + th + 2;
    const int tdo = x + s + 10;
    painter.setPen(Qt::black);
    line(painter, x - 10, pin, x, pin);
    line(painter, x + s, pin, tdo, pin);
    if (n == count) {
      const int under = y + s + th;
      const int back = layout.OriginX - 30;
      const int into = layout.OriginY + 3 * th;
      line(painter, tdo, pin, tdo, under);
      line(painter, tdo, under, back, under);
      line(painter, back, under, back, into);
      line(painter, back, into, 40, into);
    } else if (column == layout.BoxesPerRow - 1) {
      const int between = y + s + layout.Gap / 2;
      const int next_pin = y + s + layout.Gap + th + 2;
      line(painter, tdo, pin, tdo, between);
      line(painter, tdo, between, layout.OriginX - 10, between);
      line(painter, layout.OriginX - 10, between, layout.OriginX - 10, next_pin);
    } else {
      line(painter, tdo, pin, x + s + layout.Gap - 10, pin);
    }
    draw_labels(painter, device, n, x, y, layout);
  }
  painter.restore();
}

void draw_highlight(QPainter& painter, const chain::ChainTable& table, int n, const RouteLayout& layout) {
  const chain::ChainDevice& device = table[n];
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing, false);
  painter.setFont(label_font());
  draw_box(painter, device.box[0], device.box[1], layout, kRouteHighlight);
  draw_labels(painter, device, n, device.box[0], device.box[1], layout);
  painter.restore();
}

QStringList balloon_lines(const chain::ChainDevice& device) {
  const ui::IdcodeFields decoded = ui::decode_idcode(device.idcode.str());
  QString security = "Security:";
  if (device.secure == '0') security = "Security: Secure";
  if (device.secure == '1') security = "Security: Not secure";
  return {"Design: " + file_name_part(device.jed),
          "Ver: " + field(decoded.version, device.id_ver),
          "Arch: " + field(decoded.architecture, device.id_arch),
          "Tech: " + field(decoded.technology, device.id_tech),
          "MC#: " + field(decoded.macrocells, device.id_mc),
          "Volt: " + field(decoded.voltage, device.id_volt),
          "Pkg: " + field(decoded.package, device.id_pkg),
          "MftID: " + field(decoded.manufacturer, device.id_mft),
          security};
}

QRect balloon_rect(const std::array<int, 4>& box, const RouteLayout& layout, int visible_bottom) {
  const int anchor = box[1] + layout.BoxSize / 2;
  int top = anchor;
  // Above the box's middle when it would reach below the window, unless it would then leave the drawing's
  // top (a low window): its first lines stay readable below.
  if (top + kBalloonHeight > visible_bottom && anchor - kBalloonHeight >= 0) top = anchor - kBalloonHeight;
  return QRect(box[2] - 10, top, 130, kBalloonHeight);
}

void draw_balloon(QPainter& painter, const std::array<int, 4>& box, const QStringList& lines,
                  const RouteLayout& layout, int visible_bottom) {
  const QRect area = balloon_rect(box, layout, visible_bottom);
  const int anchor = box[1] + layout.BoxSize / 2;
  const bool below = area.top() == anchor;
  const int fill_left = box[2] + 10;
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing, false);
  painter.setFont(balloon_font());
  // Wider where a line would not fit, as far as the drawing reaches; what still does not fit is cut short.
  int widest = 0;
  for (const QString& text : lines) widest = std::max(widest, painter.fontMetrics().horizontalAdvance(text));
  const int right = std::min(kRouteImageWidth - 1, std::max(area.right(), fill_left + widest + 10));
  painter.setPen(Qt::black);
  painter.setBrush(kRouteYellow);
  painter.drawRect(fill_left, area.top(), right - fill_left, kBalloonHeight - 1);
  // The pointer from the balloon's side to the box's right edge.
  const int base = below ? area.top() + 6 : area.top() + kBalloonHeight - 7;
  const QPolygon pointer({QPoint(fill_left, base - 5), QPoint(box[2], below ? area.top() : base + 6),
                          QPoint(fill_left, base + 5)});
  painter.drawPolygon(pointer);
  painter.setPen(kRouteYellow);
  line(painter, fill_left, base - 4, fill_left, base + 4);  // opens the pointer into the balloon

  painter.setPen(Qt::black);
  const int x = fill_left + 5;
  const int width = right - x - 2;
  for (int i = 0; i < lines.size(); ++i) {
    const int y = area.top() + (i == 0 ? 2 : i * kBalloonLineStep);
    text_at(painter, x, y, painter.fontMetrics().elidedText(lines[i], Qt::ElideRight, width));
  }
  painter.restore();
}

int device_at(const chain::ChainTable& table, QPoint at) {
  for (int n = 1; n <= table.device_count(); ++n) {
    const std::array<int, 4>& box = table[n].box;
    if (at.x() > box[0] && at.x() < box[2] && at.y() > box[1] && at.y() < box[3]) return n;
  }
  return 0;
}

// ---------------------------------------------------------------------------------------------------------
// The window

ChainRouteWindow::ChainRouteWindow(QWidget* parent)
    : QWidget(parent), image_(kRouteImageWidth, kRouteImageHeight, QImage::Format_RGB32) {
  setWindowTitle("JTAG chain route");
  setAutoFillBackground(true);
  setPalette(QPalette(Qt::white));

  auto* panel = new QWidget(this);
  panel->setFixedHeight(kPanelHeight);
  auto* buttons = new QHBoxLayout(panel);
  buttons->setContentsMargins(2, 2, 2, 2);
  on_button_ = new QPushButton("Auto scroll", panel);
  on_button_->setObjectName("auto_scroll_on");
  on_button_->setToolTip("auto scroll ON");
  off_button_ = new QPushButton("Stop auto scroll", panel);
  off_button_->setObjectName("auto_scroll_off");
  off_button_->setToolTip("auto scroll OFF");
  off_button_->hide();
  buttons->addWidget(on_button_);
  buttons->addWidget(off_button_);
  buttons->addStretch(1);
  connect(on_button_, &QPushButton::clicked, this, [this] { set_auto_scroll(true); });
  connect(off_button_, &QPushButton::clicked, this, [this] { set_auto_scroll(false); });

  scroll_ = new QScrollArea(this);
  scroll_->setFrameShape(QFrame::NoFrame);
  scroll_->setWidgetResizable(false);
  scroll_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  scroll_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  surface_ = new RouteSurface(image_, zoom_);
  surface_->installEventFilter(this);
  // A click on the drawing gives the window the keyboard, for the zoom keys.
  setFocusPolicy(Qt::StrongFocus);
  surface_->setFocusPolicy(Qt::ClickFocus);
  surface_->setFocusProxy(this);
  scroll_->setWidget(surface_);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(panel);
  layout->addWidget(scroll_, 1);

  timer_ = new QTimer(this);
  timer_->setInterval(kAutoScrollMs);
  connect(timer_, &QTimer::timeout, this, &ChainRouteWindow::tick);

  for (const auto& [key, slot] : {std::pair{Qt::Key_W, &ChainRouteWindow::zoom_in},
                                  std::pair{Qt::Key_X, &ChainRouteWindow::zoom_out}}) {
    auto* shortcut = new QShortcut(QKeySequence(Qt::CTRL | Qt::ALT | key), this);
    shortcut->setContext(Qt::WidgetWithChildrenShortcut);
    connect(shortcut, &QShortcut::activated, this, slot);
  }

  apply_zoom();
  redraw();
}

void ChainRouteWindow::set_table(chain::ChainTable* table) {
  table_ = table;
}

void ChainRouteWindow::refresh() {
  // The table changed under the highlight: the boxes may have moved, so it goes with the redraw.
  Highlighted = false;
  redraw();
}

void ChainRouteWindow::scroll_to_origin() {
  scroll_->horizontalScrollBar()->setValue(0);
  scroll_->verticalScrollBar()->setValue(0);
}

void ChainRouteWindow::set_running(bool running) {
  // Called before a run starts and after it ended, so the table may be read here.
  running_ = running;
  if (Highlighted) refresh();
}

void ChainRouteWindow::redraw() {
  chain::ChainTable empty;
  chain::ChainTable& table = table_ != nullptr ? *table_ : empty;
  layout_ = route_layout(table.device_count());
  QPainter painter(&image_);
  draw_chain(painter, table, layout_);
  balloon_.clear();
  surface_->update();
}

int ChainRouteWindow::visible_bottom() const {
  const int bottom = scroll_->verticalScrollBar()->value() + scroll_->viewport()->height();
  return static_cast<int>(std::floor(bottom / zoom_));
}

bool ChainRouteWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == surface_) {
    if (event->type() == QEvent::MouseMove) {
      pointer_moved(static_cast<QMouseEvent*>(event)->position().toPoint());
    } else if (event->type() == QEvent::Leave) {
      pointer_inside_ = false;
    }
  }
  return QWidget::eventFilter(watched, event);
}

void ChainRouteWindow::pointer_moved(QPoint surface_pos) {
  pointer_ = surface_->mapTo(scroll_->viewport(), surface_pos);
  pointer_inside_ = true;
  if (running_ || table_ == nullptr) return;
  const QPoint at(static_cast<int>(std::floor(surface_pos.x() / zoom_)) - kSurfaceMargin,
                  static_cast<int>(std::floor(surface_pos.y() / zoom_)));
  const int n = device_at(*table_, at);
  if (n > 0) {
    emit device_selected(n);
    if (!Highlighted) {
      QPainter painter(&image_);
      draw_highlight(painter, *table_, n, layout_);
      balloon_ = balloon_lines((*table_)[n]);
      draw_balloon(painter, (*table_)[n].box, balloon_, layout_, visible_bottom());
      Highlighted = true;
      Cleared = false;
      HighlightedDevice = n;
      surface_->update();
    } else if (HighlightedDevice != n) {
      Highlighted = false;
      redraw();
    }
  } else if (Highlighted && !Cleared) {
    emit device_selected(1);
    Highlighted = false;
    redraw();
    Cleared = true;
  }
}

void ChainRouteWindow::set_auto_scroll(bool on) {
  AutoScroll = on;
  on_button_->setVisible(!on);
  off_button_->setVisible(on);
  if (on) {
    timer_->start();
  } else {
    timer_->stop();
  }
}

void ChainRouteWindow::tick() {
  if (!AutoScroll || !pointer_inside_) return;
  const QRect view = scroll_->viewport()->rect();
  if (!view.contains(pointer_)) return;
  QScrollBar* across = scroll_->horizontalScrollBar();
  QScrollBar* down = scroll_->verticalScrollBar();
  if (pointer_.x() >= view.width() - kAutoScrollEdge) across->setValue(across->value() + kAutoScrollStep);
  if (pointer_.y() >= view.height() - kAutoScrollEdge) down->setValue(down->value() + kAutoScrollStep);
  if (pointer_.x() < kAutoScrollEdge) across->setValue(across->value() - kAutoScrollStep);
  if (pointer_.y() < kAutoScrollEdge) down->setValue(down->value() - kAutoScrollStep);
}

void ChainRouteWindow::zoom_in() {
  QApplication::beep();
  zoom_ = zoom_ * 110 / 100;
  // Scroll bars stay shown while enlarged; zooming back out lets them come and go again.
  scroll_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  scroll_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  apply_zoom();
}

void ChainRouteWindow::zoom_out() {
  zoom_ = zoom_ * 100 / 110;
  scroll_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  scroll_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  apply_zoom();
}

void ChainRouteWindow::apply_zoom() {
  surface_->setFixedSize(static_cast<int>(std::lround(kScrollWidth * zoom_)),
                         static_cast<int>(std::lround(kSurfaceHeight * zoom_)));
  surface_->update();
}

}  // namespace zepa::gui
