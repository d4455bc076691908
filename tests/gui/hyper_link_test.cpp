// The link label: what a click follows, and how hover and a visit look.
#include <QApplication>
#include <QSignalSpy>
#include <QTest>

#include "ui/controls/hyper_link.h"

using keyloft::CHyperLink;

class HyperLinkTest : public QObject {
  Q_OBJECT

 private slots:
  void aClickFollowsTheLinkOnceAndMarksItVisited() {
    CHyperLink link("Web site", QUrl("https://example.org/keyloft"));
    link.SetColours(Qt::blue, Qt::magenta);
    link.resize(120, 20);
    link.show();
    QList<QUrl> opened;
    link.SetClickHandler([&](const QUrl& url) { opened.append(url); });
    QSignalSpy clicked(&link, &CHyperLink::clicked);
    QCOMPARE(link.palette().color(QPalette::WindowText), QColor(Qt::blue));

    QTest::mouseClick(&link, Qt::LeftButton, {}, {10, 10});

    QCOMPARE(opened, QList<QUrl>{QUrl("https://example.org/keyloft")});
    QCOMPARE(clicked.count(), 1);
    QVERIFY(link.GetVisited());
    QCOMPARE(link.palette().color(QPalette::WindowText), QColor(Qt::magenta));
  }

  void aPressReleasedOffTheLinkFollowsNothing() {
    CHyperLink link("Web site", QUrl("https://example.org/"));
    link.resize(120, 20);
    link.show();
    int opened = 0;
    link.SetClickHandler([&](const QUrl&) { ++opened; });
    QTest::mousePress(&link, Qt::LeftButton, {}, {10, 10});
    QTest::mouseRelease(&link, Qt::LeftButton, {}, {300, 10});
    QTest::mouseClick(&link, Qt::RightButton, {}, {10, 10});
    QCOMPARE(opened, 0);
    QVERIFY(!link.GetVisited());
  }

  void hoverUnderlinesAndShowsTheHoverColour() {
    CHyperLink link("Web site", QUrl("https://example.org/"));
    link.SetColours(Qt::blue, Qt::magenta, Qt::red);
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

QTEST_MAIN(HyperLinkTest)
#include "hyper_link_test.moc"
