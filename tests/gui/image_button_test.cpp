// The image button: which picture it shows, where from, frames, captions and
// clicks; and the transparent label that sits beside it on skinned windows.
#include <QSignalSpy>
#include <QtTest>

#include "skin_test_support.h"
#include "ui/controls/image_button.h"
#include "ui/controls/transparent_label.h"

using namespace keyloft;
using Look = ImageButton::Look;

Q_DECLARE_METATYPE(keyloft::ImageButton::Look)

namespace {

// Five solid pictures, one colour per slot, so a pixel tells which was drawn.
struct SolidSet {
  std::array<QPixmap, 5> surfaces;
  SkinImageSet set;
  static constexpr std::array<QRgb, 5> kColors = {0xFF102030, 0xFF405060, 0xFF708090, 0xFFA0B0C0, 0xFFD0E0F0};
  SolidSet() {
    for (size_t i = 0; i < 5; ++i) {
      surfaces[i] = QPixmap(200, 200);
      surfaces[i].fill(QColor::fromRgb(kColors[i]));
      set.pictures[i] = &surfaces[i];
    }
  }
};

QRgb PixelOf(QWidget& widget, QPoint at) { return widget.grab().toImage().pixel(at); }

// A window filled with one colour, to see what a control leaves unpainted.
void FillWith(QWidget& window, QColor color, QSize size) {
  window.setAutoFillBackground(true);
  QPalette palette;
  palette.setColor(QPalette::Window, color);
  window.setPalette(palette);
  window.resize(size);
}

}  // namespace

class ImageButtonTest : public QObject {
  Q_OBJECT

 private slots:
  void ShowsThePictureFromOnePixelUpAndLeftOfItsOrigin() {
    QPixmap picture = QPixmap::fromImage(keyloft::testing::CoordinatePicture(QSize(200, 200)));
    SkinImageSet set;
    set.pictures.fill(&picture);
    QWidget window;
    window.resize(200, 200);
    ImageButton button(&window);
    button.setGeometry(50, 20, 30, 10);
    button.setSkin(QPoint(50, 20), set);
    QImage face = button.grab().toImage();
    QCOMPARE(face.pixel(0, 0), qRgb(49, 19, 0x80));
    QCOMPARE(face.pixel(29, 9), qRgb(78, 28, 0x80));
  }

  void LookFollowsTheStateInOrder_data() {
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<bool>("pressed");
    QTest::addColumn<bool>("hover");
    QTest::addColumn<bool>("ticked");
    QTest::addColumn<Look>("look");
    QTest::addColumn<int>("slot");
    QTest::newRow("normal") << true << false << false << false << Look::Normal << 0;
    QTest::newRow("over") << true << false << true << false << Look::Over << 1;
    QTest::newRow("pressed") << true << true << false << false << Look::Pressed << 2;
    QTest::newRow("disabled") << false << false << false << false << Look::Disabled << 3;
    QTest::newRow("ticked") << true << false << false << true << Look::Ticked << 4;
    QTest::newRow("disabled and ticked shows disabled") << false << false << false << true << Look::Disabled << 3;
    QTest::newRow("pressed and ticked shows pressed") << true << true << false << true << Look::Pressed << 2;
    QTest::newRow("over and ticked shows over") << true << false << true << true << Look::Over << 1;
    QTest::newRow("pressed under the pointer shows pressed") << true << true << true << false << Look::Pressed << 2;
    QTest::newRow("disabled under the pointer shows disabled") << false << false << true << false << Look::Disabled << 3;
  }
  void LookFollowsTheStateInOrder() {
    QFETCH(bool, enabled);
    QFETCH(bool, pressed);
    QFETCH(bool, hover);
    QFETCH(bool, ticked);
    QFETCH(Look, look);
    QFETCH(int, slot);
    SolidSet pictures;
    QWidget window;
    window.resize(200, 200);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    ImageButton button(&window);
    button.setGeometry(10, 10, 40, 20);
    button.setSkin(QPoint(10, 10), pictures.set);
    button.show();
    button.setEnabled(enabled);
    button.setTicked(ticked);
    if (hover) {
      QEnterEvent enter(QPointF(5, 5), QPointF(15, 15), button.mapToGlobal(QPointF(5, 5)));
      QApplication::sendEvent(&button, &enter);
    }
    button.setDown(pressed);
    QCOMPARE(button.currentLook(), look);
    QCOMPARE(PixelOf(button, QPoint(20, 10)), SolidSet::kColors[slot]);
  }

  void OverLookFollowsThePointer() {
    SolidSet pictures;
    ImageButton button;
    button.resize(40, 20);
    button.setSkin(QPoint(1, 1), pictures.set);
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QApplication::sendEvent(&button, &enter);
    QCOMPARE(button.currentLook(), Look::Over);
    // New pictures while the pointer rests here: the next move brings the look back.
    button.setPictures(pictures.set);
    QCOMPARE(button.currentLook(), Look::Normal);
    QMouseEvent move(QEvent::MouseMove, QPointF(6, 5), QPointF(6, 5), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(&button, &move);
    QCOMPARE(button.currentLook(), Look::Over);
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&button, &leave);
    QCOMPARE(button.currentLook(), Look::Normal);
  }

  void AlternativePicturesWinOverPressAndHoverButNotDisabled() {
    SolidSet pictures;
    QPixmap alt0(100, 100), alt1(100, 100);
    alt0.fill(QColor(1, 2, 3));
    alt1.fill(QColor(4, 5, 6));
    ImageButton button;
    button.resize(30, 30);
    button.setSkin(QPoint(1, 1), pictures.set);
    button.setAlternativePictures(&alt0, &alt1, true, true);
    button.setDown(true);
    QCOMPARE(button.currentLook(), Look::Alternative1);
    QCOMPARE(PixelOf(button, QPoint(5, 5)), qRgb(4, 5, 6));
    button.setAlternativePictures(&alt0, &alt1, true, false);
    QCOMPARE(PixelOf(button, QPoint(5, 5)), qRgb(1, 2, 3));
    button.setEnabled(false);
    QCOMPARE(button.currentLook(), Look::Disabled);
  }

  // A disabled button is drawn with its disabled picture; one asked to dim
  // is darker still, so a skin whose disabled picture is the normal one does
  // not make it look clickable.
  void DimmedWhenDisabledOnlyWhenAsked() {
    SolidSet solid;
    QWidget window;
    window.resize(200, 200);
    ImageButton button(&window);
    button.setGeometry(10, 10, 20, 20);
    button.setSkin(QPoint(10, 10), solid.set);
    button.setEnabled(false);
    QCOMPARE(PixelOf(button, {5, 5}), SolidSet::kColors[3]);
    button.setDimWhenDisabled(true);
    QVERIFY(qGray(PixelOf(button, {5, 5})) < qGray(SolidSet::kColors[3]));
    button.setEnabled(true);
    QCOMPARE(PixelOf(button, {5, 5}), SolidSet::kColors[0]);
  }

  void FrameModeDrawsOnlyATwoPixelOutline() {
    SolidSet pictures;
    QWidget window;
    FillWith(window, QColor(9, 9, 9), QSize(100, 100));
    ImageButton button(&window);
    button.setGeometry(10, 10, 40, 30);
    button.setSkin(QPoint(10, 10), pictures.set);
    button.setColorFrame(QColor(255, 0, 0), 250, true);
    QCOMPARE(button.framePercent(), 100);
    for (bool pressed : {false, true}) {
      button.setDown(pressed);
      QImage face = window.grab(button.geometry()).toImage();
      for (QPoint edge : {QPoint(0, 0), QPoint(1, 1), QPoint(39, 15), QPoint(38, 29), QPoint(20, 0)})
        QVERIFY2(face.pixel(edge) == qRgb(255, 0, 0), qPrintable(QString("edge %1,%2: %3").arg(edge.x()).arg(edge.y()).arg(face.pixel(edge), 0, 16)));
      QCOMPARE(face.pixel(20, 15), qRgb(9, 9, 9));  // the window shows through, no picture
      QCOMPARE(face.pixel(3, 3), qRgb(9, 9, 9));
    }
  }

  void DoubleClickGivesTwoClicks() {
    ImageButton button;
    button.resize(40, 20);
    button.show();
    QVERIFY(QTest::qWaitForWindowExposed(&button));
    QSignalSpy clicks(&button, &QAbstractButton::clicked);
    auto send = [&](QEvent::Type type, Qt::MouseButtons buttons) {
      QMouseEvent event(type, QPointF(10, 10), button.mapToGlobal(QPointF(10, 10)), Qt::LeftButton, buttons,
                        Qt::NoModifier);
      QApplication::sendEvent(&button, &event);
    };
    // The order a window system reports a fast second click in.
    send(QEvent::MouseButtonPress, Qt::LeftButton);
    send(QEvent::MouseButtonRelease, Qt::NoButton);
    send(QEvent::MouseButtonDblClick, Qt::LeftButton);
    send(QEvent::MouseButtonRelease, Qt::NoButton);
    QCOMPARE(clicks.count(), 2);
  }

  void DrawCallbackHearsWhetherTheNormalPictureWasDrawn() {
    SolidSet pictures;
    ImageButton button;
    button.resize(20, 20);
    button.setSkin(QPoint(1, 1), pictures.set);
    std::vector<bool> heard;
    button.setDrawCallback([&](ImageButton&, bool normal) { heard.push_back(normal); });
    button.grab();
    button.setTicked(true);
    button.grab();
    QCOMPARE(heard, (std::vector<bool>{true, false}));
  }

  void RotatedCaptionIsCentredAlongItsSlant() {
    ImageButton button;
    button.resize(120, 60);
    button.setText("Keyloft");
    button.setTextStyle(true, 10, "DejaVu Sans", {Qt::black, Qt::black, Qt::black, Qt::black, Qt::black});
    button.setTextAngle(268, true);
    QImage face(button.size(), QImage::Format_ARGB32);
    face.fill(Qt::white);
    button.render(&face);
    QRect ink;
    for (int y = 0; y < face.height(); ++y)
      for (int x = 0; x < face.width(); ++x)
        if (qGray(face.pixel(x, y)) < 128) ink |= QRect(x, y, 1, 1);
    QVERIFY(!ink.isEmpty());
    QVERIFY2(ink.height() > 20, "the run is slanted, so it is taller than one line");
    QPointF offset = QRectF(ink).center() - QRectF(button.rect()).center();
    QVERIFY2(qAbs(offset.x()) <= 2 && qAbs(offset.y()) <= 2,
             qPrintable(QString("ink centre off by %1,%2").arg(offset.x()).arg(offset.y())));
    // Counter-clockwise: the run climbs from lower left to upper right.
    auto inkIn = [&face](QRect area) {
      for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
          if (qGray(face.pixel(x, y)) < 128) return true;
      return false;
    };
    QVERIFY(inkIn(QRect(ink.left(), ink.center().y(), 8, ink.bottom() - ink.center().y() + 1)));
    QVERIFY(!inkIn(QRect(ink.left(), ink.top(), 8, ink.height() / 4)));
  }

  void CaptionTakesTheColorOfTheLook() {
    SolidSet pictures;
    ImageButton button;
    button.resize(80, 30);
    button.setText("██████");
    button.setSkin(QPoint(1, 1), pictures.set);
    button.setTextStyle(true, 12, "DejaVu Sans", {QColor(250, 0, 0), QColor(0, 250, 0), Qt::blue, Qt::gray, Qt::cyan});
    QCOMPARE(PixelOf(button, QPoint(40, 15)), qRgb(250, 0, 0));
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QApplication::sendEvent(&button, &enter);
    QCOMPARE(PixelOf(button, QPoint(40, 15)), qRgb(0, 250, 0));
  }

  void TooltipTextIsKeptOnlyWhenActive() {
    ImageButton button;
    button.setTooltipText("Close Keyloft", true);
    QCOMPARE(button.toolTip(), QString("Close Keyloft"));
    button.setTooltipText("", true);
    QCOMPARE(button.toolTip(), QString("Close Keyloft"));
    button.setTooltipText("Close Keyloft", false);
    QCOMPARE(button.toolTip(), QString());
    // Coming over the button turns it on again.
    QEnterEvent enter(QPointF(2, 2), QPointF(2, 2), QPointF(2, 2));
    QApplication::sendEvent(&button, &enter);
    QCOMPARE(button.toolTip(), QString("Close Keyloft"));
  }

  void LabelPaintsOnlyItsText() {
    QWidget window;
    FillWith(window, QColor(200, 0, 0), QSize(100, 40));
    TransparentLabel label(&window);
    label.setGeometry(0, 0, 100, 40);
    label.setText("█");
    label.setFontHeight(30);
    label.setAlignment(Qt::AlignCenter);
    QImage face = window.grab().toImage();
    QCOMPARE(face.pixel(2, 2), qRgb(200, 0, 0));
    QCOMPARE(face.pixel(50, 20), qRgb(255, 255, 255));
    label.setTextColor(QColor(0, 0, 255));
    QCOMPARE(window.grab().toImage().pixel(50, 20), qRgb(0, 0, 255));
  }
};

QTEST_MAIN(ImageButtonTest)
#include "image_button_test.moc"
