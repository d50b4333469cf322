// The chain drawing "JTAG chain route": the cable connector with its TDI and TDO pins, one box per device in
// chain order laid out in rows, and the wire from the connector's TDI through every device back to its TDO.
// The pointer over a device highlights its box and opens a balloon with its design file, decoded IDCODE and
// security state; a panel switches auto scroll (the view follows the pointer near the edges) on and off.
//
// The drawing is a pure function of the chain table and the layout (draw_chain), painted into an image that
// the window shows; the highlight and the balloon are painted over that image until the next full redraw.
#pragma once

#include <QColor>
#include <QImage>
#include <QPoint>
#include <QRect>
#include <QStringList>
#include <QWidget>
#include <array>

#include "chain/chain_table.h"

class QPainter;
class QPushButton;
class QScrollArea;
class QTimer;

namespace zepa::gui {

// The layout of the drawing; follows the device count.
struct RouteLayout {
  int BoxesPerRow = 5;
  int BoxSize = 60;
  int Corner = 3;  // cut of a box's top-left corner
  int Gap = 30;    // between boxes and between rows
  int OriginX = 100;
  int OriginY = 20;
};
RouteLayout route_layout(int device_count);

inline constexpr int kRouteImageWidth = 689;
inline constexpr int kRouteImageHeight = 1085;
inline const QColor kRouteBackground(3, 124, 85);
inline const QColor kRouteBoxGrey(128, 128, 128);
inline const QColor kRouteHighlight(255, 128, 128);
inline const QColor kRouteYellow(255, 255, 0);
inline const QColor kRouteBlue(0, 0, 255);

// Redraws the whole surface of the painter (kRouteImageWidth x kRouteImageHeight) for the table's devices
// and stores each drawn device's box (left, top, right, bottom) in its `box`.
void draw_chain(QPainter& painter, chain::ChainTable& table, const RouteLayout& layout);

// Fills device n's box (its stored `box`) with the highlight colour and draws its labels again.
void draw_highlight(QPainter& painter, const chain::ChainTable& table, int n, const RouteLayout& layout);

// The balloon's texts for a device: the design file's name, the decoded IDCODE fields and the security state.
QStringList balloon_lines(const chain::ChainDevice& device);

// Where device n's balloon goes: below the middle of its box, or above it when it would reach below
// `visible_bottom` (the lowest surface row the window shows).
QRect balloon_rect(const std::array<int, 4>& box, const RouteLayout& layout, int visible_bottom);

// Draws the balloon for the device whose box is `box`.
void draw_balloon(QPainter& painter, const std::array<int, 4>& box, const QStringList& lines,
                  const RouteLayout& layout, int visible_bottom);

// The device 1..device_count whose box strictly contains `at` (the first in chain order), or 0.
int device_at(const chain::ChainTable& table, QPoint at);

class ChainRouteWindow : public QWidget {
  Q_OBJECT

 public:
  explicit ChainRouteWindow(QWidget* parent = nullptr);

  // The table drawn (none: nothing is read until the next one is set); the window reads it only on the GUI
  // thread and not while a run is active. The drawing changes at the next refresh.
  void set_table(chain::ChainTable* table);
  // Drops the highlight and redraws from the table.
  void refresh();
  // The view back to the drawing's top-left corner.
  void scroll_to_origin();
  // While a run writes the table the pointer highlights nothing.
  void set_running(bool running);

  const QImage& image() const { return image_; }
  const RouteLayout& layout() const { return layout_; }
  int highlighted_device() const { return Highlighted ? HighlightedDevice : 0; }
  // The open balloon's texts (empty when none is open).
  const QStringList& balloon() const { return balloon_; }
  bool auto_scroll() const { return AutoScroll; }
  double zoom() const { return zoom_; }
  QScrollArea* scroll_area() const { return scroll_; }
  // The widget that shows the image; pointer positions on it are image positions times the zoom plus
  // kSurfaceMargin to the left.
  QWidget* surface() const { return surface_; }
  static constexpr int kSurfaceMargin = 2;

 public slots:
  void set_auto_scroll(bool on);
  // One auto-scroll step (the 100 ms timer calls it).
  void tick();
  void zoom_in();
  void zoom_out();

 signals:
  // The pointer went onto a device (n) or off all devices (1): the session's current device.
  void device_selected(int position);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void pointer_moved(QPoint surface_pos);
  void pointer_left();
  void redraw();
  void apply_zoom();
  int visible_bottom() const;

  chain::ChainTable* table_ = nullptr;
  RouteLayout layout_;
  QImage image_;
  QStringList balloon_;
  QScrollArea* scroll_ = nullptr;
  QWidget* surface_ = nullptr;
  QPushButton* on_button_ = nullptr;
  QPushButton* off_button_ = nullptr;
  QTimer* timer_ = nullptr;
  double zoom_ = 1.0;
  bool running_ = false;
  bool pointer_inside_ = false;
  QPoint pointer_;  // the last pointer position, in the viewport

  bool Highlighted = false;
  int HighlightedDevice = 0;
  bool Cleared = false;  // the highlight went when the pointer left all boxes
  bool AutoScroll = false;
};

}  // namespace zepa::gui
