// Layout files, placement, the picture cache, outlines and the skinned dialog.
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QtTest>

#include "skin_test_support.h"
#include "ui/controls/image_button.h"
#include "ui/skin/outline.h"
#include "ui/skin/skin_entries.h"
#include "ui/skin/skin_layout.h"
#include "ui/skin/skin_pictures.h"
#include "ui/skin/skinned_dialog.h"

using namespace keyloft;
using keyloft::testing::SkinFolder;

Q_DECLARE_METATYPE(keyloft::SkinRect)

class SkinLayoutTest : public QObject {
  Q_OBJECT

 private slots:
  void RectanglesScanAsSscanfDoes_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<SkinRect>("expected");
    QTest::newRow("trailing text ignored") << "10,20,30,40,anything" << SkinRect{10, 20, 30, 40};
    QTest::newRow("the default text") << "1,1,1,1,x" << SkinRect{1, 1, 1, 1};
    QTest::newRow("blanks before numbers") << " 5, 6, 7, 8" << SkinRect{5, 6, 7, 8};
    QTest::newRow("signs") << "-3,+4,5,6" << SkinRect{-3, 4, 5, 6};
    QTest::newRow("blank before a comma stops the scan") << "5 ,6,7,8" << SkinRect{};
    QTest::newRow("three numbers") << "10,20,30" << SkinRect{};
    QTest::newRow("no number") << "left,top,w,h" << SkinRect{};
    QTest::newRow("empty") << "" << SkinRect{};
    QTest::newRow("huge saturates") << "99999999999,0,2,3" << SkinRect{2147483647, 0, 2, 3};
  }
  void RectanglesScanAsSscanfDoes() {
    QFETCH(QString, text);
    QFETCH(SkinRect, expected);
    QCOMPARE(ParseSkinRect(text.toStdString()), expected);
  }

  void MissingEntriesGiveTheDefaultRectangle() {
    SkinFolder skin;
    skin.WriteText("Profile.ini", "[BUTTONINFO]\nCONTROL_CANCEL=100,200,80,24\n");
    SkinLayout layout(skin.File("Profile.ini"));
    QCOMPARE(layout.Rect("BUTTONINFO", "CONTROL_CANCEL"), (SkinRect{100, 200, 80, 24}));
    QCOMPARE(layout.Rect("BUTTONINFO", "control_cancel"), (SkinRect{100, 200, 80, 24}));
    QCOMPARE(layout.Rect("BUTTONINFO", "CONTROL_OK"), SkinRect{});
    QCOMPARE(layout.Rect("OTHER", "CONTROL_CANCEL"), SkinRect{});
    QCOMPARE(SkinLayout(skin.File("Missing.ini")).Rect("BUTTONINFO", "CONTROL_CANCEL"), SkinRect{});
  }

  void ImageButtonWithoutEntryIsDisabledAtOneOne() {
    SkinFolder skin;
    skin.WriteText("Profile.ini", "[BUTTONINFO]\nCONTROL_CANCEL=100,200,80,24\n");
    SkinLayout layout(skin.File("Profile.ini"));
    QWidget window;
    ImageButton ok(&window), cancel(&window);
    PlaceImageButton(ok, layout, kButtonSection, "CONTROL_OK", SkinImageSet{});
    PlaceImageButton(cancel, layout, kButtonSection, "CONTROL_CANCEL", SkinImageSet{});
    QCOMPARE(ok.geometry(), QRect(1, 1, 1, 1));
    QVERIFY(!ok.isEnabled());
    QCOMPARE(cancel.geometry(), QRect(100, 200, 80, 24));
    QCOMPARE(cancel.origin(), QPoint(100, 200));
    QVERIFY(cancel.isEnabled());
  }

  void LinksFallBackToTheManual() {
    SkinFolder skin;
    skin.WriteText("Main.ini", "[SCREEN]\nLink=https://example.org/keys\n");
    SkinLayout layout(skin.File("Main.ini"));
    QCOMPARE(layout.Link("Link"), std::string("https://example.org/keys"));
    QCOMPARE(layout.Link("Link2"), std::string(kDefaultLink));
  }

  void PlainAndMovePlacement() {
    SkinFolder skin;
    skin.WriteText("Main.ini", "[BUTTONINFO]\nCONTROL_LightSlider=40,50,120,18\nCONTROL_BLFXStatic3=300,310,5,5\n");
    SkinLayout layout(skin.File("Main.ini"));
    QWidget window;
    QLabel slider(&window), missing(&window), label(&window);
    label.setGeometry(0, 0, 64, 20);
    PlaceControl(slider, layout, kButtonSection, "CONTROL_LightSlider");
    PlaceControl(missing, layout, kButtonSection, "CONTROL_SpeedSlider");
    MoveControl(label, layout, kButtonSection, "CONTROL_BLFXStatic3");
    QCOMPARE(slider.geometry(), QRect(40, 50, 120, 18));
    QCOMPARE(missing.geometry(), QRect(1, 1, 1, 1));
    QCOMPARE(label.geometry(), QRect(300, 310, 64, 20));
  }

  void ArrowTakesItsPictureOriginFromTheOffsetKey() {
    QCOMPARE(ArrowOffsetKey(true, 0, 2), std::string("DOWN_ARROW_LEFT2"));
    QCOMPARE(ArrowOffsetKey(false, 1, 1), std::string("UP_ARROW_RIGHT1"));
    SkinFolder skin;
    skin.WriteText("Main.ini",
                   "[BUTTONINFO]\nLEFT_ARROW=500,40,12,12\n"
                   "[BUTTONINFO2]\nDOWN_ARROW_LEFT1=10,10,0,0\nDOWN_ARROW_LEFT2=30,10,0,0\nUP_ARROW_LEFT2=50,10\n");
    SkinLayout layout(skin.File("Main.ini"));
    QWidget window;
    ImageButton arrow(&window);
    QPixmap picture(64, 64);
    PlaceArrowButton(arrow, layout, "LEFT_ARROW", ArrowOffsetKey(true, 0, 2), &picture);
    QCOMPARE(arrow.geometry(), QRect(500, 40, 12, 12));
    QCOMPARE(arrow.origin(), QPoint(30, 10));
    for (const QPixmap* slot : arrow.pictures().pictures) QCOMPARE(slot, &picture);
  }

  void PicturesAreDecodedOnceIntoWindowSizedSurfaces() {
    SkinFolder skin;
    skin.WriteSolid("a.jpg", QSize(50, 40), QColor(200, 20, 20));
    SkinPictureCache cache;
    const QPixmap& first = cache.Picture(skin.File("a.jpg"), QSize(300, 200));
    QCOMPARE(first.size(), QSize(400, 300));
    QImage pixels = first.toImage();
    QVERIFY(qAbs(qRed(pixels.pixel(10, 10)) - 200) < 8);
    QCOMPARE(pixels.pixel(60, 60), kUndrawnSurface);  // beyond the picture
    std::filesystem::remove(skin.File("a.jpg"));
    QCOMPARE(&cache.Picture(skin.File("a.jpg"), QSize(10, 10)), &first);
    QVERIFY(!cache.Failed(skin.File("a.jpg")));

    const QPixmap& missing = cache.Picture(skin.File("none.jpg"), QSize(20, 20));
    QVERIFY(cache.Failed(skin.File("none.jpg")));
    QCOMPARE(missing.toImage().pixel(5, 5), kUndrawnSurface);
  }

  void OutlineOfADiscIsRound() {
    QRegion outline = OutlineFromMask(keyloft::testing::DiscMask(100));
    QVERIFY(outline.contains(QPoint(50, 50)));
    QVERIFY(outline.contains(QPoint(50, 1)));
    for (QPoint corner : {QPoint(0, 0), QPoint(99, 0), QPoint(0, 99), QPoint(99, 99), QPoint(10, 10)})
      QVERIFY2(!outline.contains(corner), qPrintable(QString("corner %1,%2").arg(corner.x()).arg(corner.y())));
  }

  void OutlineKeepsEveryRunAcrossBatches() {
    // A checkerboard of single pixels: 5000 runs, more than two batches.
    QImage mask(100, 100, QImage::Format_RGB32);
    for (int y = 0; y < 100; ++y)
      for (int x = 0; x < 100; ++x) mask.setPixel(x, y, (x + y) % 2 ? qRgb(255, 255, 255) : qRgb(254, 255, 255));
    QRegion outline = OutlineFromMask(mask);
    int inside = 0;
    for (int y = 0; y < 100; ++y)
      for (int x = 0; x < 100; ++x) {
        QCOMPARE(outline.contains(QPoint(x, y)), (x + y) % 2 == 0);
        inside += outline.contains(QPoint(x, y));
      }
    QCOMPARE(inside, 5000);
  }

  void MaskWithoutWhiteKeepsTheWholeWindow() {
    QImage mask(30, 20, QImage::Format_RGB32);
    mask.fill(qRgb(250, 250, 250));
    QVERIFY((OutlineFromMask(mask) ^ QRegion(0, 0, 30, 20)).isEmpty());
  }

  void RoundDialogLetsClicksThroughOutsideTheDisc() {
    SkinFolder skin;
    skin.WriteSolid("bg.jpg", QSize(120, 120), QColor(30, 60, 90));
    skin.WritePicture("mask.bmp", keyloft::testing::DiscMask(120));
    skin.WriteText("Round.ini", "[SCREEN]\nMain=bg.jpg\nMask=mask.bmp\n");
    SkinnedDialog dialog(skin.File("Round.ini"));
    QVERIFY(!dialog.loadSkin());
    QCOMPARE(dialog.size(), QSize(120, 120));
    // The window mask is the input region: clicks outside it go to the windows behind.
    QVERIFY(dialog.mask().contains(QPoint(60, 60)));
    QVERIFY(!dialog.mask().contains(QPoint(2, 2)));
    QVERIFY(!dialog.mask().contains(QPoint(117, 117)));
    QImage face = dialog.backgroundPicture().toImage();
    QCOMPARE(qAlpha(face.pixel(2, 2)), 0);
    QCOMPARE(qAlpha(face.pixel(60, 60)), 255);
  }

  void NoMaskCutsTheOutlineFromTheBackground() {
    SkinFolder skin;
    skin.WritePicture("bg.bmp", keyloft::testing::DiscMask(80));
    skin.WriteText("Main.ini", "[SCREEN]\nMain=bg.bmp\n");
    SkinnedDialog dialog(skin.File("Main.ini"));
    QVERIFY(!dialog.loadSkin());
    QVERIFY(dialog.outline().contains(QPoint(40, 40)));
    QVERIFY(!dialog.outline().contains(QPoint(1, 1)));
  }

  void UnloadablePicturesAreNamedInTheError_data() {
    QTest::addColumn<QString>("screen");
    QTest::addColumn<QString>("named");
    QTest::newRow("missing background") << "Main=none.jpg\nMask=mask.bmp\n" << "none.jpg";
    QTest::newRow("missing mask") << "Main=bg.jpg\nMask=gone.bmp\n" << "gone.bmp";
    QTest::newRow("undecodable background") << "Main=broken.jpg\n" << "broken.jpg";
    QTest::newRow("empty Main") << "Main=\nMask=mask.bmp\n" << "Dialog.ini";
    QTest::newRow("no SCREEN") << "" << "Dialog.ini";
    QTest::newRow("mask with nothing inside") << "Main=bg.jpg\nMask=white.bmp\n" << "white.bmp";
  }
  void UnloadablePicturesAreNamedInTheError() {
    QFETCH(QString, screen);
    QFETCH(QString, named);
    SkinFolder skin;
    skin.WriteSolid("bg.jpg", QSize(40, 30), Qt::gray);
    skin.WritePicture("mask.bmp", keyloft::testing::DiscMask(40));
    skin.WriteText("broken.jpg", "not a picture");
    skin.WriteSolid("white.bmp", QSize(40, 30), Qt::white);
    skin.WriteText("Dialog.ini", screen.isEmpty() ? std::string() : "[SCREEN]\n" + screen.toStdString());
    SkinnedDialog dialog(skin.File("Dialog.ini"));
    dialog.resize(77, 55);
    auto error = dialog.loadSkin();
    QVERIFY(error.has_value());
    QVERIFY2(QString::fromStdString(error->Message()).contains(named), error->Message().c_str());
    QCOMPARE(dialog.size(), QSize(77, 55));
  }

  void AMissingPictureIsReportedNotFatal() {
    SkinFolder skin;
    skin.WriteText("Dialog.ini", "[SCREEN]\nMain=gone.jpg\n");
    SkinnedDialog dialog(skin.File("Dialog.ini"));
    auto error = dialog.loadSkin();
    QVERIFY(error.has_value());
    QCOMPARE(error->file, skin.File("gone.jpg"));
    // Whatever the owner does next, showing the window does not end the program.
    dialog.show();
    QVERIFY(dialog.isVisible());
    QVERIFY(dialog.backgroundPicture().isNull());
  }

  void EveryOpeningReadsTheSkinAgain() {
    SkinFolder skin;
    skin.WriteSolid("bg.jpg", QSize(120, 80), Qt::darkGray);
    skin.WriteText("Dialog.ini", "[SCREEN]\nMain=bg.jpg\n");
    SkinnedDialog dialog(skin.File("Dialog.ini"));
    QVERIFY(!dialog.loadSkin());
    dialog.show();
    QCOMPARE(dialog.size(), QSize(120, 80));
    dialog.reject();
    QVERIFY(dialog.backgroundPicture().isNull());  // released with the dialog
    skin.WriteSolid("bg2.jpg", QSize(150, 90), Qt::darkGray);
    skin.WriteText("Dialog.ini", "[SCREEN]\nMain=bg2.jpg\n");
    QVERIFY(!dialog.loadSkin());
    dialog.show();
    QCOMPARE(dialog.size(), QSize(150, 90));
    QVERIFY(!dialog.backgroundPicture().isNull());
  }

  void PressOnTheSurfaceDragsTheWindow() {
    SkinFolder skin;
    skin.WriteSolid("bg.jpg", QSize(200, 100), Qt::darkGray);
    skin.WriteText("Dialog.ini", "[SCREEN]\nMain=bg.jpg\n");
    SkinnedDialog dialog(skin.File("Dialog.ini"));
    QPushButton child("child", &dialog);
    child.setGeometry(150, 60, 40, 30);
    dialog.move(100, 100);
    QVERIFY(!dialog.loadSkin());
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QPoint start = dialog.pos();
    QTest::mousePress(&dialog, Qt::LeftButton, {}, QPoint(20, 20));
    QMouseEvent move(QEvent::MouseMove, QPointF(50, 40), dialog.mapToGlobal(QPointF(50, 40)), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&dialog, &move);
    QTest::mouseRelease(&dialog, Qt::LeftButton, {}, QPoint(50, 40));
    QCOMPARE(dialog.pos(), start + QPoint(30, 20));

    // A click is no move: neither the pointer moving afterwards without the
    // button, nor a twitch shorter than the drag distance while it is held.
    const QPoint clicked = dialog.pos();
    auto moveTo = [&](QPoint at, Qt::MouseButtons buttons) {
      QMouseEvent event(QEvent::MouseMove, QPointF(at), dialog.mapToGlobal(QPointF(at)), Qt::NoButton, buttons,
                        Qt::NoModifier);
      QApplication::sendEvent(&dialog, &event);
    };
    QTest::mouseClick(&dialog, Qt::LeftButton, {}, QPoint(20, 20));
    moveTo(QPoint(90, 70), Qt::NoButton);
    QCOMPARE(dialog.pos(), clicked);
    QTest::mousePress(&dialog, Qt::LeftButton, {}, QPoint(20, 20));
    moveTo(QPoint(21, 20), Qt::LeftButton);
    QTest::mouseRelease(&dialog, Qt::LeftButton, {}, QPoint(21, 20));
    moveTo(QPoint(90, 70), Qt::NoButton);
    QCOMPARE(dialog.pos(), clicked);

    // A press on a child control is the control's, not a drag.
    QPoint before = dialog.pos();
    QTest::mousePress(&child, Qt::LeftButton, {}, QPoint(5, 5));
    QMouseEvent childMove(QEvent::MouseMove, QPointF(30, 25), child.mapToGlobal(QPointF(30, 25)), Qt::NoButton,
                          Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&child, &childMove);
    QTest::mouseRelease(&child, Qt::LeftButton, {}, QPoint(30, 25));
    QCOMPARE(dialog.pos(), before);
  }
};

QTEST_MAIN(SkinLayoutTest)
#include "skin_layout_test.moc"
