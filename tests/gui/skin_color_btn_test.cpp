// The colour-picker button: the pixels of its face, and what a choice in
// its palette does.
#include <QFrame>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

#include <memory>

#include "ui/controls/skin_color_btn.h"

using keyloft::CSkinColorBtn;

namespace {

const QColor kStrip(148, 145, 139);

// 40 × 20: the swatch fills x 0..21, the strip x 23..39, and the triangle
// spans x 30..36 over y 9..12.
std::unique_ptr<CSkinColorBtn> Button(QColor colour) {
  auto button = std::make_unique<CSkinColorBtn>();
  button->resize(40, 20);
  button->SetColor(colour);
  button->show();
  return button;
}

QToolButton* Entry(QFrame* popup, const QString& name, QColor colour = {}) {
  for (QToolButton* entry : popup->findChildren<QToolButton*>(name))
    if (!colour.isValid() || entry->property("colour").value<QColor>() == colour) return entry;
  return nullptr;
}

QFrame* OpenPopup(CSkinColorBtn& button) {
  QTest::mouseClick(&button, Qt::LeftButton, {}, {10, 10});
  return button.Popup();
}

}  // namespace

class SkinColorBtnTest : public QObject {
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

  void automaticShowsTheAutomaticColour() {
    auto button = Button(Qt::red);
    button->SetAutomaticColor(Qt::green);
    button->SetAutomatic(true);
    QCOMPARE(button->GetColor(), QColor(Qt::green));
    QCOMPARE(button->grab().toImage().pixelColor(10, 10), QColor(Qt::green));
    button->SetColor(Qt::yellow);
    QVERIFY(!button->IsAutomatic());
    QCOMPARE(button->grab().toImage().pixelColor(10, 10), QColor(Qt::yellow));
  }

  void choosingAPaletteColourSetsAndReportsIt() {
    auto button = Button(Qt::white);
    QSignalSpy chosen(button.get(), &CSkinColorBtn::colourChosen);
    QFrame* popup = OpenPopup(*button);
    QVERIFY(popup && popup->isVisible());
    QCOMPARE(popup->findChildren<QToolButton*>("colour").size(), 40);

    QToolButton* red = Entry(popup, "colour", QColor(0xFF, 0, 0));
    QVERIFY(red);
    QTest::mouseClick(red, Qt::LeftButton);

    QCOMPARE(chosen.count(), 1);
    QCOMPARE(chosen.at(0).at(0).value<QColor>(), QColor(0xFF, 0, 0));
    QCOMPARE(button->GetColor(), QColor(0xFF, 0, 0));
    QTRY_VERIFY(!button->Popup());
    QCOMPARE(button->grab().toImage().pixelColor(10, 10), QColor(0xFF, 0, 0));
  }

  void theAutomaticEntryReportsTheAutomaticColour() {
    auto button = Button(Qt::red);
    button->SetAutomaticColor(Qt::white);
    QSignalSpy chosen(button.get(), &CSkinColorBtn::colourChosen);
    QTest::mouseClick(Entry(OpenPopup(*button), "automatic"), Qt::LeftButton);
    QCOMPARE(chosen.count(), 1);
    QCOMPARE(chosen.at(0).at(0).value<QColor>(), QColor(Qt::white));
    QVERIFY(button->IsAutomatic());
  }

  void otherAsksTheDialogAndKeepsTheColourWhenItIsCancelled() {
    auto button = Button(Qt::red);
    QSignalSpy chosen(button.get(), &CSkinColorBtn::colourChosen);
    QColor answer(12, 34, 56);
    QColor offered;
    button->SetColourDialog([&](const QColor& initial, QWidget*) {
      offered = initial;
      return answer;
    });

    QTest::mouseClick(Entry(OpenPopup(*button), "other"), Qt::LeftButton);
    QCOMPARE(offered, QColor(Qt::red));
    QCOMPARE(chosen.count(), 1);
    QCOMPARE(button->GetColor(), answer);

    answer = QColor();  // the user cancels
    QTest::mouseClick(Entry(OpenPopup(*button), "other"), Qt::LeftButton);
    QCOMPARE(chosen.count(), 1);
    QCOMPARE(button->GetColor(), QColor(12, 34, 56));
  }

  void theOwnerGivesTheEntryTexts() {
    auto button = Button(Qt::red);
    QFrame* popup = OpenPopup(*button);
    QCOMPARE(Entry(popup, "automatic")->text(), QString("Automatic"));
    QCOMPARE(Entry(popup, "other")->text(), QString("Other..."));
    popup->close();

    button->EnableAutomaticButton("Auto", false);
    button->EnableOtherButton("Autre...");
    popup = OpenPopup(*button);
    QVERIFY(!Entry(popup, "automatic"));
    QCOMPARE(Entry(popup, "other")->text(), QString("Autre..."));
  }
};

QTEST_MAIN(SkinColorBtnTest)
#include "skin_color_btn_test.moc"
