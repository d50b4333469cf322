// The chain drawing driven through its real widget: the layout and the boxes it stores, the pixels of the
// drawing, the pointer's highlight and balloon, auto scroll and zoom.
// Pointer movement goes through the window system, as the desktop delivers it (enter and leave included).
#define QTEST_QPA_MOUSE_HANDLING
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <memory>

#include "chain/chain_table.h"
#include "ui/core/idcode.h"
#include "ui/gui/chain_route_window.h"

namespace zepa::gui {
namespace {

using Box = std::array<int, 4>;

class ChainRouteTest : public QObject {
  Q_OBJECT

 private slots:
  void init();
  void cleanup();

  void layout_and_stored_boxes_data();
  void layout_and_stored_boxes();
  void no_devices_draws_only_the_connector();
  void boxes_of_a_longer_chain_are_forgotten();
  void pointer_must_be_strictly_inside_data();
  void pointer_must_be_strictly_inside();
  void hover_highlights_and_opens_the_balloon();
  void moving_onto_another_box_clears_first();
  void leaving_all_boxes_clears_once();
  void no_highlight_during_a_run();
  void balloon_texts_data();
  void balloon_texts();
  void balloon_placement_data();
  void balloon_placement();
  void auto_scroll_data();
  void auto_scroll();
  void scroll_buttons_alternate();
  void zoom_keys();

 private:
  // A chain of `count` devices; the window redraws it.
  void chain(int count) {
    table_->DeviceCount = count;
    for (int n = 1; n <= count; ++n) table_->operator[](n).part = chain::kPartVtl3064XL;
    window_->refresh();
  }
  const Box& box(int n) { return table_->operator[](n).box; }
  // The pointer moved to a point of the drawing.
  void move_to(QPoint at) {
    QTest::mouseMove(window_->surface(), at + QPoint(ChainRouteWindow::kSurfaceMargin, 0));
  }
  QColor pixel(QPoint at) { return window_->image().pixelColor(at); }
  // A point of box n that no label covers (near its bottom-left corner).
  QPoint plain_spot(int n) { return QPoint(box(n)[0] + 3, box(n)[3] - 3); }

  std::unique_ptr<chain::ChainTable> table_;
  std::unique_ptr<ChainRouteWindow> window_;
};

void ChainRouteTest::init() {
  table_ = std::make_unique<chain::ChainTable>();
  window_ = std::make_unique<ChainRouteWindow>();
  window_->set_table(table_.get());
  window_->resize(760, 700);
  window_->show();
  QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
}

void ChainRouteTest::cleanup() {
  window_.reset();
  table_.reset();
}

void ChainRouteTest::layout_and_stored_boxes_data() {
  QTest::addColumn<int>("count");
  QTest::addColumn<int>("per_row");
  QTest::addColumn<int>("size");
  QTest::addColumn<int>("rows");
  QTest::addColumn<int>("last_row");
  QTest::newRow("one device") << 1 << 5 << 60 << 1 << 1;
  QTest::newRow("20 devices: 4 full rows of 5") << 20 << 5 << 60 << 4 << 5;
  QTest::newRow("21 devices: rows of 6, the last of 3") << 21 << 6 << 55 << 4 << 3;
  QTest::newRow("25 devices: 4 rows of 6 and a row of 1") << 25 << 6 << 55 << 5 << 1;
  QTest::newRow("60 devices") << 60 << 6 << 55 << 10 << 6;
}

void ChainRouteTest::layout_and_stored_boxes() {
  QFETCH(int, count);
  QFETCH(int, per_row);
  QFETCH(int, size);
  QFETCH(int, rows);
  QFETCH(int, last_row);
  chain(count);
  const int step = size + size / 2;
  int in_last_row = 0;
  for (int n = 1; n <= count; ++n) {
    const int x = 100 + (n - 1) % per_row * step;
    const int y = 20 + (n - 1) / per_row * step;
    QCOMPARE(box(n), (Box{x, y, x + size, y + size}));
    QCOMPARE(pixel(plain_spot(n)), kRouteBoxGrey);
    if ((n - 1) / per_row == rows - 1) ++in_last_row;
  }
  QCOMPARE((count - 1) / per_row + 1, rows);
  QCOMPARE(in_last_row, last_row);
  // The place after the last box holds no box.
  if (count < 60) {
    const int x = 100 + count % per_row * step;
    const int y = 20 + count / per_row * step;
    QCOMPARE(pixel(QPoint(x + 3, y + size - 3)), kRouteBackground);
  }
}

void ChainRouteTest::no_devices_draws_only_the_connector() {
  chain(0);
  const QImage& image = window_->image();
  int blue = 0;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      const QColor colour = image.pixelColor(x, y);
      QVERIFY2(colour != kRouteBoxGrey, qPrintable(QString("grey at %1,%2").arg(x).arg(y)));
      if (x > 45) QVERIFY2(colour == kRouteBackground, qPrintable(QString("drawn at %1,%2").arg(x).arg(y)));
      if (colour == kRouteBlue) ++blue;
    }
  }
  QVERIFY(blue > 100);  // the two pins of the connector
}

void ChainRouteTest::boxes_of_a_longer_chain_are_forgotten() {
  chain(21);
  const QPoint tenth = plain_spot(10);
  chain(3);
  QCOMPARE(pixel(tenth), kRouteBackground);
  QSignalSpy selected(window_.get(), &ChainRouteWindow::device_selected);
  move_to(tenth);
  QCOMPARE(window_->highlighted_device(), 0);
  QCOMPARE(selected.count(), 0);
}

void ChainRouteTest::pointer_must_be_strictly_inside_data() {
  // Device 1's box is (100, 20) to (160, 80).
  QTest::addColumn<QPoint>("at");
  QTest::addColumn<int>("device");
  QTest::newRow("left edge") << QPoint(100, 50) << 0;
  QTest::newRow("right edge") << QPoint(160, 50) << 0;
  QTest::newRow("top edge") << QPoint(130, 20) << 0;
  QTest::newRow("bottom edge") << QPoint(130, 80) << 0;
  QTest::newRow("top-left corner") << QPoint(100, 20) << 0;
  QTest::newRow("just inside top-left") << QPoint(101, 21) << 1;
  QTest::newRow("just inside bottom-right") << QPoint(159, 79) << 1;
  QTest::newRow("in the gap") << QPoint(175, 50) << 0;
  QTest::newRow("second box") << QPoint(220, 50) << 2;
}

void ChainRouteTest::pointer_must_be_strictly_inside() {
  QFETCH(QPoint, at);
  QFETCH(int, device);
  chain(2);
  QCOMPARE(box(1), (Box{100, 20, 160, 80}));
  QSignalSpy selected(window_.get(), &ChainRouteWindow::device_selected);
  move_to(at);
  QCOMPARE(window_->highlighted_device(), device);
  QCOMPARE(selected.count(), device == 0 ? 0 : 1);
  if (device != 0) QCOMPARE(selected.first().first().toInt(), device);
}

void ChainRouteTest::hover_highlights_and_opens_the_balloon() {
  chain(3);
  chain::ChainDevice& second = (*table_)[2];
  second.jed = "/boards/main/counter.jed";
  second.id_ver = "Version 2";
  second.id_arch = "ZEPA3";
  second.id_tech = "0.35u EECMOS";
  second.id_mc = "64 MC";
  second.id_volt = "3.3 volt";
  second.id_pkg = "PC 44";
  second.id_mft = "00000100101";
  second.secure = '1';
  QSignalSpy selected(window_.get(), &ChainRouteWindow::device_selected);

  move_to(plain_spot(2));
  QCOMPARE(window_->highlighted_device(), 2);
  QCOMPARE(pixel(plain_spot(2)), kRouteHighlight);
  QCOMPARE(pixel(plain_spot(1)), kRouteBoxGrey);
  QCOMPARE(selected.count(), 1);
  QCOMPARE(selected.first().first().toInt(), 2);
  QCOMPARE(window_->balloon(), QStringList({"Design: counter.jed", "Ver: Version 2", "Arch: ZEPA3",
                                            "Tech: 0.35u EECMOS", "MC#: 64 MC", "Volt: 3.3 volt",
                                            "Pkg: PC 44", "MftID: 00000100101", "Security: Not secure"}));
  // Yellow below the middle of the box, right of it.
  QCOMPARE(pixel(QPoint(box(2)[2] + 12, box(2)[1] + 30 + 100)), kRouteYellow);

  // More movement inside the same box changes nothing but the current device.
  move_to(plain_spot(2) + QPoint(5, -5));
  QCOMPARE(window_->highlighted_device(), 2);
  QCOMPARE(pixel(plain_spot(2)), kRouteHighlight);
  QCOMPARE(selected.count(), 2);

  // A refresh (the table changed) takes the highlight and the balloon away.
  window_->refresh();
  QCOMPARE(window_->highlighted_device(), 0);
  QVERIFY(window_->balloon().isEmpty());
  QCOMPARE(pixel(plain_spot(2)), kRouteBoxGrey);
  QCOMPARE(pixel(QPoint(box(2)[2] + 12, box(2)[1] + 30 + 100)), kRouteBackground);
}

void ChainRouteTest::moving_onto_another_box_clears_first() {
  chain(3);
  QSignalSpy selected(window_.get(), &ChainRouteWindow::device_selected);
  move_to(plain_spot(1));
  QCOMPARE(window_->highlighted_device(), 1);

  move_to(plain_spot(2));  // straight from box 1 onto box 2
  QCOMPARE(window_->highlighted_device(), 0);
  QVERIFY(window_->balloon().isEmpty());
  QCOMPARE(pixel(plain_spot(1)), kRouteBoxGrey);
  QCOMPARE(pixel(plain_spot(2)), kRouteBoxGrey);
  QCOMPARE(selected.last().first().toInt(), 2);

  move_to(plain_spot(2) + QPoint(1, 0));
  QCOMPARE(window_->highlighted_device(), 2);
  QCOMPARE(pixel(plain_spot(2)), kRouteHighlight);
  QCOMPARE(pixel(plain_spot(1)), kRouteBoxGrey);
}

void ChainRouteTest::leaving_all_boxes_clears_once() {
  chain(3);
  move_to(plain_spot(3));
  QCOMPARE(window_->highlighted_device(), 3);
  QSignalSpy selected(window_.get(), &ChainRouteWindow::device_selected);

  move_to(QPoint(30, 400));
  QCOMPARE(window_->highlighted_device(), 0);
  QCOMPARE(pixel(plain_spot(3)), kRouteBoxGrey);
  QCOMPARE(selected.count(), 1);
  QCOMPARE(selected.first().first().toInt(), 1);  // back to the first device

  move_to(QPoint(31, 400));  // further moves off the boxes leave the current device alone
  QCOMPARE(selected.count(), 1);
}

void ChainRouteTest::no_highlight_during_a_run() {
  chain(2);
  move_to(plain_spot(1));
  QCOMPARE(window_->highlighted_device(), 1);
  window_->set_running(true);
  QCOMPARE(window_->highlighted_device(), 0);
  QCOMPARE(pixel(plain_spot(1)), kRouteBoxGrey);
  QSignalSpy selected(window_.get(), &ChainRouteWindow::device_selected);
  move_to(plain_spot(2));
  QCOMPARE(window_->highlighted_device(), 0);
  QCOMPARE(selected.count(), 0);

  window_->set_running(false);
  move_to(plain_spot(2) + QPoint(1, 0));
  QCOMPARE(window_->highlighted_device(), 2);
}

void ChainRouteTest::balloon_texts_data() {
  QTest::addColumn<QString>("jed");
  QTest::addColumn<QString>("idcode");
  QTest::addColumn<char>("secure");
  QTest::addColumn<QStringList>("shown");  // the lines that differ from an empty balloon
  // Architecture 011 (reserved), technology 111, package 1, bit 0 set.
  const QString reserved = QString::fromStdString(ui::idcode_text(3u << 25 | 7u << 22 | 1u << 12 | 1u));
  QTest::newRow("nothing known") << ""
                                 << "" << '2' << QStringList({"Design: ", "Security:"});
  QTest::newRow("secured, Windows path") << "C:\\work\\a.jed"
                                         << "" << '0' << QStringList({"Design: a.jed", "Security: Secure"});
  QTest::newRow("not secured, no folder")
      << "b.isp"
      << "" << '1' << QStringList({"Design: b.isp", "Security: Not secure"});
  QTest::newRow("IDCODE decoded in full")
      << "" << reserved << '2'
      << QStringList({"Design: ", "Arch: Reserved", "Tech: Future use", "MC#: 32 MC", "Volt: 5 volt",
                      "Pkg: ", "MftID: 00000000000", "Ver: Version 0", "Security:"});
}

void ChainRouteTest::balloon_texts() {
  QFETCH(QString, jed);
  QFETCH(QString, idcode);
  QFETCH(char, secure);
  QFETCH(QStringList, shown);
  chain::ChainDevice device;
  device.jed = jed.toStdString();
  device.idcode = idcode.toStdString();
  device.secure = secure;
  const QStringList lines = balloon_lines(device);
  QCOMPARE(lines.size(), 9);
  const QStringList prefixes{
      "Design: ", "Ver: ", "Arch: ", "Tech: ", "MC#: ", "Volt: ", "Pkg: ", "MftID: ", "Security:"};
  for (int i = 0; i < 9; ++i) {
    QVERIFY2(lines[i].startsWith(prefixes[i]), qPrintable(lines[i]));
    bool listed = false;
    for (const QString& line : shown) listed = listed || line == lines[i];
    if (!listed) QCOMPARE(lines[i], prefixes[i]);
  }
  for (const QString& line : shown) QVERIFY2(lines.contains(line), qPrintable(line));
}

void ChainRouteTest::balloon_placement_data() {
  QTest::addColumn<int>("box_top");
  QTest::addColumn<int>("visible_bottom");
  QTest::addColumn<int>("top");
  QTest::newRow("room below") << 200 << 1000 << 230;
  QTest::newRow("exactly enough room") << 200 << 365 << 230;
  QTest::newRow("window too low: above") << 200 << 364 << 95;
  QTest::newRow("first row of a low window stays below") << 20 << 100 << 50;
}

void ChainRouteTest::balloon_placement() {
  QFETCH(int, box_top);
  QFETCH(int, visible_bottom);
  QFETCH(int, top);
  const QRect area = balloon_rect({300, box_top, 360, box_top + 60}, route_layout(5), visible_bottom);
  QCOMPARE(area, QRect(350, top, 130, 135));
}

void ChainRouteTest::auto_scroll_data() {
  QTest::addColumn<bool>("on");
  QTest::addColumn<QString>("where");
  QTest::addColumn<int>("across");  // scroll change
  QTest::addColumn<int>("down");
  QTest::newRow("right edge") << true << "right" << 8 << 0;
  QTest::newRow("bottom edge") << true << "bottom" << 0 << 8;
  QTest::newRow("left edge") << true << "left" << -8 << 0;
  QTest::newRow("top edge") << true << "top" << 0 << -8;
  QTest::newRow("bottom-right corner") << true << "corner" << 8 << 8;
  QTest::newRow("middle") << true << "middle" << 0 << 0;
  QTest::newRow("5 pixels from the right") << true << "right5" << 8 << 0;
  QTest::newRow("6 pixels from the right") << true << "right6" << 0 << 0;
  QTest::newRow("auto scroll off") << false << "right" << 0 << 0;
}

void ChainRouteTest::auto_scroll() {
  QFETCH(bool, on);
  QFETCH(QString, where);
  QFETCH(int, across);
  QFETCH(int, down);
  window_->resize(300, 250);
  QTest::qWait(0);
  chain(20);
  QScrollArea* scroll = window_->scroll_area();
  QScrollBar* h = scroll->horizontalScrollBar();
  QScrollBar* v = scroll->verticalScrollBar();
  h->setValue(40);
  v->setValue(40);
  const QSize view = scroll->viewport()->size();
  const QPoint in_view = where == "right"    ? QPoint(view.width() - 2, view.height() / 2)
                         : where == "bottom" ? QPoint(view.width() / 2, view.height() - 2)
                         : where == "left"   ? QPoint(1, view.height() / 2)
                         : where == "top"    ? QPoint(view.width() / 2, 1)
                         : where == "corner" ? QPoint(view.width() - 1, view.height() - 1)
                         : where == "right5" ? QPoint(view.width() - 5, view.height() / 2)
                         : where == "right6" ? QPoint(view.width() - 6, view.height() / 2)
                                             : QPoint(view.width() / 2, view.height() / 2);
  window_->set_auto_scroll(on);  // the button first, then the pointer goes to the edge
  QTest::mouseMove(window_->surface(), window_->surface()->mapFrom(scroll->viewport(), in_view));
  window_->tick();
  QCOMPARE(h->value(), 40 + across);
  QCOMPARE(v->value(), 40 + down);
  window_->tick();  // the pointer stays put: the view goes on scrolling
  QCOMPARE(h->value(), 40 + 2 * across);
  QCOMPARE(v->value(), 40 + 2 * down);
}

void ChainRouteTest::scroll_buttons_alternate() {
  auto* on = window_->findChild<QPushButton*>("auto_scroll_on");
  auto* off = window_->findChild<QPushButton*>("auto_scroll_off");
  QCOMPARE(on->toolTip(), QString("auto scroll ON"));
  QCOMPARE(off->toolTip(), QString("auto scroll OFF"));
  QVERIFY(!window_->auto_scroll());
  QVERIFY(on->isVisible() && !off->isVisible());
  QTest::mouseClick(on, Qt::LeftButton);
  QVERIFY(window_->auto_scroll());
  QVERIFY(!on->isVisible() && off->isVisible());
  QTest::mouseClick(off, Qt::LeftButton);
  QVERIFY(!window_->auto_scroll());
  QVERIFY(on->isVisible() && !off->isVisible());
}

void ChainRouteTest::zoom_keys() {
  chain(2);
  window_->activateWindow();
  QVERIFY(QTest::qWaitForWindowActive(window_.get()));
  const QSize normal = window_->surface()->size();
  QTest::keyClick(window_.get(), Qt::Key_W, Qt::ControlModifier | Qt::AltModifier);
  QCOMPARE(window_->zoom(), 1.1);
  QCOMPARE(window_->surface()->size(), QSize(759, 959));
  QCOMPARE(window_->scroll_area()->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);

  // Pointer positions follow the zoom: 1.1 x the drawing's (230, 50) lies in box 2 only when scaled.
  QTest::mouseMove(window_->surface(), QPoint(256, 55));
  QCOMPARE(window_->highlighted_device(), 2);

  QTest::keyClick(window_.get(), Qt::Key_X, Qt::ControlModifier | Qt::AltModifier);
  QCOMPARE(window_->surface()->size(), normal);
  QCOMPARE(window_->scroll_area()->verticalScrollBarPolicy(), Qt::ScrollBarAsNeeded);
}

}  // namespace
}  // namespace zepa::gui

QTEST_MAIN(zepa::gui::ChainRouteTest)
#include "chain_route_test.moc"
