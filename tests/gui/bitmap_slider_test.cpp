// The picture slider: which moves it reports, where the mouse puts it, and
// what it draws.
#include <QSignalSpy>
#include <QTest>

#include <memory>

#include "ui/controls/bitmap_slider.h"

using keyloft::CBitmapSlider;

namespace {

constexpr int kId = 1178;

QPixmap Filled(int w, int h, QColor colour) {
  QPixmap pixmap(w, h);
  pixmap.fill(colour);
  return pixmap;
}

// The brightness slider: positions 0..4 over a 101-pixel channel, so that
// without a thumb each position is 25 pixels apart.
std::unique_ptr<CBitmapSlider> Brightness() {
  auto slider = std::make_unique<CBitmapSlider>(kId);
  slider->SetBitmapChannel(Filled(101, 20, Qt::gray));
  slider->SetRange(0, 4);
  slider->SetPageSize(10);
  slider->resize(101, 20);
  slider->show();
  return slider;
}

}  // namespace

class BitmapSliderTest : public QObject {
  Q_OBJECT

 private slots:
  void setPosClampsAndTellsNobody_data() {
    QTest::addColumn<int>("asked");
    QTest::addColumn<int>("shown");
    QTest::newRow("inside") << 3 << 3;
    QTest::newRow("below") << -2 << 0;
    QTest::newRow("above") << 9 << 4;
  }
  void setPosClampsAndTellsNobody() {
    QFETCH(int, asked);
    QFETCH(int, shown);
    auto slider = Brightness();
    QSignalSpy moved(slider.get(), &CBitmapSlider::moved);
    QSignalSpy moving(slider.get(), &CBitmapSlider::moving);
    slider->SetPos(asked);
    QCOMPARE(slider->GetPos(), shown);
    QCOMPARE(moved.count() + moving.count(), 0);
  }

  void aNarrowerRangeClampsThePosition() {
    auto slider = Brightness();
    slider->SetPos(4);
    slider->SetRange(3, 0);  // reversed bounds are taken in order
    QCOMPARE(slider->GetRangeMin(), 0);
    QCOMPARE(slider->GetRangeMax(), 3);
    QCOMPARE(slider->GetPos(), 3);
  }

  void mouseReportsOnceOnRelease_data() {
    QTest::addColumn<int>("pressX");
    QTest::addColumn<int>("releaseX");
    QTest::addColumn<int>("pos");
    QTest::newRow("click on the left end") << 0 << 0 << 0;
    QTest::newRow("click near a step") << 60 << 60 << 2;
    QTest::newRow("drag to the right end") << 10 << 100 << 4;
    QTest::newRow("drag past the right end") << 10 << 400 << 4;
    QTest::newRow("drag past the left end") << 90 << -50 << 0;
  }
  void mouseReportsOnceOnRelease() {
    QFETCH(int, pressX);
    QFETCH(int, releaseX);
    QFETCH(int, pos);
    auto slider = Brightness();
    slider->SetPos(1);
    QSignalSpy moved(slider.get(), &CBitmapSlider::moved);

    QTest::mousePress(slider.get(), Qt::LeftButton, {}, {pressX, 10});
    QTest::mouseMove(slider.get(), {releaseX, 10});
    QCOMPARE(moved.count(), 0);
    QTest::mouseRelease(slider.get(), Qt::LeftButton, {}, {releaseX, 10});

    QCOMPARE(slider->GetPos(), pos);
    QCOMPARE(moved.count(), 1);
    QCOMPARE(moved.at(0), (QVariantList{kId, pos}));
  }

  void dragReportsEachNewPositionWhileHeld() {
    auto slider = Brightness();
    QSignalSpy moving(slider.get(), &CBitmapSlider::moving);
    QTest::mousePress(slider.get(), Qt::LeftButton, {}, {0, 10});
    for (int x : {20, 26, 30, 50, 76})  // 26 and 30 stay at 1
      QTest::mouseMove(slider.get(), {x, 10});
    QCOMPARE(moving.count(), 3);
    QCOMPARE(moving.at(2), (QVariantList{kId, 3}));
    QTest::mouseRelease(slider.get(), Qt::LeftButton, {}, {76, 10});
  }

  void keysMoveAndReportChanges_data() {
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("pos");
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
    QFETCH(int, pos);
    auto slider = Brightness();
    slider->SetPos(start);
    QSignalSpy moved(slider.get(), &CBitmapSlider::moved);
    QTest::keyClick(slider.get(), Qt::Key(key));
    QCOMPARE(slider->GetPos(), pos);
    if (pos == start) {
      QCOMPARE(moved.count(), 0);
    } else {
      QCOMPARE(moved.count(), 1);
      QCOMPARE(moved.at(0), (QVariantList{kId, pos}));
    }
  }

  void withoutAThumbOnlyTheChannelIsDrawn() {
    auto slider = Brightness();
    slider->SetPos(2);
    QImage face = slider->grab().toImage();
    QCOMPARE(face.pixelColor(50, 10), QColor(Qt::gray));
    // The owner shows the position by swapping the channel picture.
    slider->SetBitmapChannel(Filled(101, 20, Qt::darkGreen));
    face = slider->grab().toImage();
    QCOMPARE(face.pixelColor(0, 0), QColor(Qt::darkGreen));
    QCOMPARE(face.pixelColor(100, 19), QColor(Qt::darkGreen));
  }

  void theThumbSitsAtThePositionAndShowsItsPressedPicture() {
    auto slider = Brightness();
    slider->SetBitmapThumb(Filled(11, 20, Qt::red), Filled(11, 20, Qt::blue));
    // With an 11-pixel thumb the left edge travels 0..90.
    slider->SetPos(0);
    QImage face = slider->grab().toImage();
    QCOMPARE(face.pixelColor(5, 10), QColor(Qt::red));
    QCOMPARE(face.pixelColor(95, 10), QColor(Qt::gray));

    slider->SetPos(4);
    face = slider->grab().toImage();
    QCOMPARE(face.pixelColor(5, 10), QColor(Qt::gray));
    QCOMPARE(face.pixelColor(95, 10), QColor(Qt::red));

    // The thumb's centre follows the pointer: x 50 is the middle position.
    QTest::mousePress(slider.get(), Qt::LeftButton, {}, {50, 10});
    QCOMPARE(slider->GetPos(), 2);
    face = slider->grab().toImage();
    QCOMPARE(face.pixelColor(50, 10), QColor(Qt::blue));
    QTest::mouseRelease(slider.get(), Qt::LeftButton, {}, {50, 10});
    face = slider->grab().toImage();
    QCOMPARE(face.pixelColor(50, 10), QColor(Qt::red));
  }
};

QTEST_MAIN(BitmapSliderTest)
#include "bitmap_slider_test.moc"
