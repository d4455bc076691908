// The picture slider: which moves it reports, where the mouse puts it, and
// what it draws.
#include <QApplication>
#include <QSignalSpy>
#include <QTest>
#include <QWheelEvent>

#include <memory>

#include "ui/controls/pixmap_slider.h"

using keyloft::PixmapSlider;

namespace {

QPixmap Filled(int w, int h, QColor color) {
  QPixmap pixmap(w, h);
  pixmap.fill(color);
  return pixmap;
}

// The brightness slider: positions 0..4 over a 101-pixel channel, so that
// without a thumb each position is 25 pixels apart.
std::unique_ptr<PixmapSlider> Brightness() {
  auto slider = std::make_unique<PixmapSlider>();
  slider->setChannelPixmap(Filled(101, 20, Qt::gray));
  slider->setRange(0, 4);
  slider->setPageStep(10);
  slider->resize(101, 20);
  slider->show();
  return slider;
}

}  // namespace

class PixmapSliderTest : public QObject {
  Q_OBJECT

 private slots:
  void setValueClampsAndTellsNobody_data() {
    QTest::addColumn<int>("asked");
    QTest::addColumn<int>("shown");
    QTest::newRow("inside") << 3 << 3;
    QTest::newRow("below") << -2 << 0;
    QTest::newRow("above") << 9 << 4;
  }
  void setValueClampsAndTellsNobody() {
    QFETCH(int, asked);
    QFETCH(int, shown);
    auto slider = Brightness();
    QSignalSpy moved(slider.get(), &PixmapSlider::userMoved);
    QSignalSpy moving(slider.get(), &PixmapSlider::sliderMoved);
    slider->setValue(asked);
    QCOMPARE(slider->value(), shown);
    QCOMPARE(moved.count() + moving.count(), 0);
  }

  void aNarrowerRangeClampsTheValueAndTellsNobody() {
    auto slider = Brightness();
    slider->setValue(4);
    QSignalSpy moved(slider.get(), &PixmapSlider::userMoved);
    slider->setRange(0, 3);
    QCOMPARE(slider->value(), 3);
    QCOMPARE(moved.count(), 0);
  }

  void mouseReportsOnceOnRelease_data() {
    QTest::addColumn<int>("pressX");
    QTest::addColumn<int>("releaseX");
    QTest::addColumn<int>("value");
    QTest::newRow("click on the left end") << 0 << 0 << 0;
    QTest::newRow("click near a step") << 60 << 60 << 2;
    QTest::newRow("drag to the right end") << 10 << 100 << 4;
    QTest::newRow("drag past the right end") << 10 << 400 << 4;
    QTest::newRow("drag past the left end") << 90 << -50 << 0;
  }
  void mouseReportsOnceOnRelease() {
    QFETCH(int, pressX);
    QFETCH(int, releaseX);
    QFETCH(int, value);
    auto slider = Brightness();
    slider->setValue(1);
    QSignalSpy moved(slider.get(), &PixmapSlider::userMoved);

    QTest::mousePress(slider.get(), Qt::LeftButton, {}, {pressX, 10});
    QTest::mouseMove(slider.get(), {releaseX, 10});
    QCOMPARE(moved.count(), 0);
    QTest::mouseRelease(slider.get(), Qt::LeftButton, {}, {releaseX, 10});

    QCOMPARE(slider->value(), value);
    QCOMPARE(moved.count(), 1);
    QCOMPARE(moved.at(0), (QVariantList{value}));
  }

  void dragReportsEachNewPositionWhileHeld() {
    auto slider = Brightness();
    QSignalSpy moving(slider.get(), &PixmapSlider::sliderMoved);
    QTest::mousePress(slider.get(), Qt::LeftButton, {}, {0, 10});
    for (int x : {20, 26, 30, 50, 76})  // 26 and 30 stay at 1
      QTest::mouseMove(slider.get(), {x, 10});
    QCOMPARE(moving.count(), 3);
    QCOMPARE(moving.at(2), (QVariantList{3}));
    QTest::mouseRelease(slider.get(), Qt::LeftButton, {}, {76, 10});
  }

  void keysMoveAndReportChanges_data() {
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("value");
    QTest::newRow("right") << 2 << int(Qt::Key_Right) << 3;
    QTest::newRow("down") << 2 << int(Qt::Key_Down) << 3;
    QTest::newRow("left") << 2 << int(Qt::Key_Left) << 1;
    QTest::newRow("up") << 2 << int(Qt::Key_Up) << 1;
    QTest::newRow("home") << 3 << int(Qt::Key_Home) << 0;
    QTest::newRow("end") << 1 << int(Qt::Key_End) << 4;
    QTest::newRow("page down, clamped") << 1 << int(Qt::Key_PageDown) << 4;
    QTest::newRow("page up, clamped") << 3 << int(Qt::Key_PageUp) << 0;
    QTest::newRow("left at the minimum") << 0 << int(Qt::Key_Left) << 0;
    QTest::newRow("end at the maximum") << 4 << int(Qt::Key_End) << 4;
  }
  void keysMoveAndReportChanges() {
    QFETCH(int, start);
    QFETCH(int, key);
    QFETCH(int, value);
    auto slider = Brightness();
    slider->setValue(start);
    QSignalSpy moved(slider.get(), &PixmapSlider::userMoved);
    QTest::keyClick(slider.get(), Qt::Key(key));
    QCOMPARE(slider->value(), value);
    if (value == start) {
      QCOMPARE(moved.count(), 0);
    } else {
      QCOMPARE(moved.count(), 1);
      QCOMPARE(moved.at(0), (QVariantList{value}));
    }
  }

  void theWheelLeavesTheValueAlone() {
    auto slider = Brightness();
    slider->setValue(2);
    QSignalSpy moved(slider.get(), &PixmapSlider::userMoved);
    const QPointF at(50, 10);
    QWheelEvent up(at, slider->mapToGlobal(at), {}, {0, 120}, Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(slider.get(), &up);
    QCOMPARE(slider->value(), 2);
    QCOMPARE(moved.count(), 0);
    QVERIFY(!up.isAccepted());  // it goes on to the window
  }

  void withoutAThumbOnlyTheChannelIsDrawn() {
    auto slider = Brightness();
    slider->setValue(2);
    QImage face = slider->grab().toImage();
    QCOMPARE(face.pixelColor(50, 10), QColor(Qt::gray));
    // The owner shows the value by swapping the channel picture.
    slider->setChannelPixmap(Filled(101, 20, Qt::darkGreen));
    face = slider->grab().toImage();
    QCOMPARE(face.pixelColor(0, 0), QColor(Qt::darkGreen));
    QCOMPARE(face.pixelColor(100, 19), QColor(Qt::darkGreen));
  }

  void theThumbSitsAtTheValueAndShowsItsPressedPicture() {
    auto slider = Brightness();
    slider->setThumbPixmaps(Filled(11, 20, Qt::red), Filled(11, 20, Qt::blue));
    // With an 11-pixel thumb the left edge travels 0..90.
    slider->setValue(0);
    QImage face = slider->grab().toImage();
    QCOMPARE(face.pixelColor(5, 10), QColor(Qt::red));
    QCOMPARE(face.pixelColor(95, 10), QColor(Qt::gray));

    slider->setValue(4);
    face = slider->grab().toImage();
    QCOMPARE(face.pixelColor(5, 10), QColor(Qt::gray));
    QCOMPARE(face.pixelColor(95, 10), QColor(Qt::red));

    // The thumb's centre follows the pointer: x 50 is the middle position.
    QTest::mousePress(slider.get(), Qt::LeftButton, {}, {50, 10});
    QCOMPARE(slider->value(), 2);
    face = slider->grab().toImage();
    QCOMPARE(face.pixelColor(50, 10), QColor(Qt::blue));
    QTest::mouseRelease(slider.get(), Qt::LeftButton, {}, {50, 10});
    face = slider->grab().toImage();
    QCOMPARE(face.pixelColor(50, 10), QColor(Qt::red));
  }
};

QTEST_MAIN(PixmapSliderTest)
#include "pixmap_slider_test.moc"
