// The colour-picker button: the pixels of its face, and what a choice in
// its palette does.
#include <QFrame>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

#include <memory>

#include "ui/controls/color_button.h"

using keyloft::ColorButton;

namespace {

const QColor kStrip(148, 145, 139);

// 40 × 20: the swatch fills x 0..21, the strip x 23..39, and the triangle
// spans x 30..36 over y 9..12.
std::unique_ptr<ColorButton> Button(QColor color) {
  auto button = std::make_unique<ColorButton>();
  button->resize(40, 20);
  button->setColor(color);
  button->show();
  return button;
}

QToolButton* Entry(QFrame* popup, const QString& name, QColor color = {}) {
  for (QToolButton* entry : popup->findChildren<QToolButton*>(name))
    if (!color.isValid() || entry->property("color").value<QColor>() == color) return entry;
  return nullptr;
}

QFrame* OpenPopup(ColorButton& button) {
  QTest::mouseClick(&button, Qt::LeftButton, {}, {10, 10});
  return button.popup();
}

}  // namespace

class ColorButtonTest : public QObject {
  Q_OBJECT

 private slots:
  void theFaceShowsSwatchStripAndArrow() {
    auto button = Button(QColor(255, 0, 0));
    const QImage face = button->grab().toImage();
    for (QPoint p : {QPoint(0, 0), QPoint(10, 10), QPoint(21, 19)}) QCOMPARE(face.pixelColor(p), QColor(255, 0, 0));
    for (QPoint p : {QPoint(23, 0), QPoint(27, 10), QPoint(39, 19)}) QCOMPARE(face.pixelColor(p), kStrip);
    for (QPoint p : {QPoint(31, 9), QPoint(33, 10), QPoint(35, 9)}) QCOMPARE(face.pixelColor(p), QColor(Qt::black));
    QCOMPARE(face.pixelColor(33, 14), kStrip);
  }

  void theSwatchFollowsTheWidth() {
    // 100 wide: the strip begins where the width's half plus two lies.
    auto button = Button(Qt::blue);
    button->resize(100, 30);
    const QImage face = button->grab().toImage();
    QCOMPARE(face.pixelColor(51, 15), QColor(Qt::blue));
    QCOMPARE(face.pixelColor(53, 15), kStrip);
    QCOMPARE(face.pixelColor(93, 15), QColor(Qt::black));
  }

  void aDisabledButtonLeavesTheSwatchUnfilled() {
    auto button = Button(QColor(255, 0, 0));
    button->setEnabled(false);
    const QImage face = button->grab().toImage();
    QVERIFY(face.pixelColor(10, 10) != QColor(255, 0, 0));
    QCOMPARE(face.pixelColor(27, 10), kStrip);
  }

  void automaticShowsTheAutomaticColor() {
    auto button = Button(Qt::red);
    button->setAutomaticColor(Qt::green);
    button->setAutomatic(true);
    QCOMPARE(button->color(), QColor(Qt::green));
    QCOMPARE(button->grab().toImage().pixelColor(10, 10), QColor(Qt::green));
    button->setColor(Qt::yellow);
    QVERIFY(!button->isAutomatic());
    QCOMPARE(button->grab().toImage().pixelColor(10, 10), QColor(Qt::yellow));
  }

  void choosingAPaletteColorSetsAndReportsIt() {
    auto button = Button(Qt::white);
    QSignalSpy chosen(button.get(), &ColorButton::colorChosen);
    QFrame* popup = OpenPopup(*button);
    QVERIFY(popup && popup->isVisible());
    QCOMPARE(popup->findChildren<QToolButton*>("color").size(), 40);

    QToolButton* red = Entry(popup, "color", QColor(0xFF, 0, 0));
    QVERIFY(red);
    QTest::mouseClick(red, Qt::LeftButton);

    QCOMPARE(chosen.count(), 1);
    QCOMPARE(chosen.at(0).at(0).value<QColor>(), QColor(0xFF, 0, 0));
    QCOMPARE(button->color(), QColor(0xFF, 0, 0));
    QTRY_VERIFY(!button->popup());
    QCOMPARE(button->grab().toImage().pixelColor(10, 10), QColor(0xFF, 0, 0));
  }

  void theAutomaticEntryReportsTheAutomaticColor() {
    auto button = Button(Qt::red);
    button->setAutomaticColor(Qt::white);
    QSignalSpy chosen(button.get(), &ColorButton::colorChosen);
    QTest::mouseClick(Entry(OpenPopup(*button), "automatic"), Qt::LeftButton);
    QCOMPARE(chosen.count(), 1);
    QCOMPARE(chosen.at(0).at(0).value<QColor>(), QColor(Qt::white));
    QVERIFY(button->isAutomatic());
  }

  void otherAsksTheDialogAndKeepsTheColorWhenItIsCancelled() {
    auto button = Button(Qt::red);
    QSignalSpy chosen(button.get(), &ColorButton::colorChosen);
    QColor answer(12, 34, 56);
    QColor offered;
    button->setColorDialog([&](const QColor& initial, QWidget*) {
      offered = initial;
      return answer;
    });

    QTest::mouseClick(Entry(OpenPopup(*button), "other"), Qt::LeftButton);
    QCOMPARE(offered, QColor(Qt::red));
    QCOMPARE(chosen.count(), 1);
    QCOMPARE(button->color(), answer);

    answer = QColor();  // the user cancels
    QTest::mouseClick(Entry(OpenPopup(*button), "other"), Qt::LeftButton);
    QCOMPARE(chosen.count(), 1);
    QCOMPARE(button->color(), QColor(12, 34, 56));
  }

  void theOwnerGivesTheEntryTexts() {
    auto button = Button(Qt::red);
    QFrame* popup = OpenPopup(*button);
    QCOMPARE(Entry(popup, "automatic")->text(), QString("Automatic"));
    QCOMPARE(Entry(popup, "other")->text(), QString("Other..."));
    popup->close();

    button->setAutomaticEntry("Auto", false);
    button->setOtherEntry("Autre...");
    popup = OpenPopup(*button);
    QVERIFY(!Entry(popup, "automatic"));
    QCOMPARE(Entry(popup, "other")->text(), QString("Autre..."));
  }
};

QTEST_MAIN(ColorButtonTest)
#include "color_button_test.moc"
