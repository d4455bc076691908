// The link label: what a click follows, and how hover and a visit look.
#include <QApplication>
#include <QSignalSpy>
#include <QTest>

#include "ui/controls/link_label.h"

using keyloft::LinkLabel;

class LinkLabelTest : public QObject {
  Q_OBJECT

 private slots:
  void aClickFollowsTheLinkOnceAndMarksItVisited() {
    LinkLabel link("Web site", QUrl("https://example.org/keyloft"));
    link.setColors(Qt::blue, Qt::magenta);
    link.resize(120, 20);
    link.show();
    link.setOpenExternalLinks(false);  // the owner follows it, not the browser
    QSignalSpy activated(&link, &QLabel::linkActivated);
    QSignalSpy clicked(&link, &LinkLabel::clicked);
    QCOMPARE(link.palette().color(QPalette::WindowText), QColor(Qt::blue));

    QTest::mouseClick(&link, Qt::LeftButton, {}, {10, 10});

    QCOMPARE(activated, (QList<QVariantList>{{QString("https://example.org/keyloft")}}));
    QCOMPARE(clicked.count(), 1);
    QVERIFY(link.isVisited());
    QCOMPARE(link.palette().color(QPalette::WindowText), QColor(Qt::magenta));
  }

  void aPressReleasedOffTheLinkFollowsNothing() {
    LinkLabel link("Web site", QUrl("https://example.org/"));
    link.resize(120, 20);
    link.show();
    link.setOpenExternalLinks(false);
    QSignalSpy activated(&link, &QLabel::linkActivated);
    QTest::mousePress(&link, Qt::LeftButton, {}, {10, 10});
    QTest::mouseRelease(&link, Qt::LeftButton, {}, {300, 10});
    QTest::mouseClick(&link, Qt::RightButton, {}, {10, 10});
    QCOMPARE(activated.count(), 0);
    QVERIFY(!link.isVisited());
  }

  void hoverUnderlinesAndShowsTheHoverColor() {
    LinkLabel link("Web site", QUrl("https://example.org/"));
    link.setColors(Qt::blue, Qt::magenta, Qt::red);
    QCOMPARE(link.cursor().shape(), Qt::PointingHandCursor);
    QVERIFY(!link.font().underline());

    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QApplication::sendEvent(&link, &enter);
    QVERIFY(link.font().underline());
    QCOMPARE(link.palette().color(QPalette::WindowText), QColor(Qt::red));

    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&link, &leave);
    QVERIFY(!link.font().underline());
    QCOMPARE(link.palette().color(QPalette::WindowText), QColor(Qt::blue));
  }
};

QTEST_MAIN(LinkLabelTest)
#include "link_label_test.moc"
