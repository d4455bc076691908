// A window whose background or mask cannot be loaded ends the program with a
// message naming the file and a failure code, never silently with success.
#include <QProcess>
#include <QtTest>

#include "skin_test_support.h"
#include "ui/skin/skinned_dialog.h"

using keyloft::testing::SkinFolder;

class SkinExitTest : public QObject {
  Q_OBJECT

 private slots:
  void MissingPicturesEndTheProgramWithAMessage_data() {
    QTest::addColumn<QString>("mainIni");
    QTest::addColumn<QString>("named");
    QTest::newRow("no layout file") << QString() << "Main.ini";
    QTest::newRow("background missing") << "[SCREEN]\nMain=main_bg.jpg\nMask=mask.bmp\n" << "main_bg.jpg";
    QTest::newRow("mask missing") << "[SCREEN]\nMain=bg.jpg\nMask=main_mask.bmp\n" << "main_mask.bmp";
    QTest::newRow("background undecodable") << "[SCREEN]\nMain=junk.jpg\n" << "junk.jpg";
  }
  void MissingPicturesEndTheProgramWithAMessage() {
    QFETCH(QString, mainIni);
    QFETCH(QString, named);
    SkinFolder skin, out;
    skin.WriteSolid("bg.jpg", QSize(64, 48), Qt::darkGray);
    skin.WritePicture("mask.bmp", keyloft::testing::DiscMask(64));
    skin.WriteText("junk.jpg", "JFIF but not really");
    if (!mainIni.isEmpty()) skin.WriteText("Main.ini", mainIni.toStdString());

    QProcess preview;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    preview.setProcessEnvironment(environment);
    preview.start(SKIN_PREVIEW_PATH, {"--skin", QString::fromStdString(skin.Path().string()), "--out",
                                      QString::fromStdString(out.Path().string())});
    QVERIFY(preview.waitForFinished(30000));
    QCOMPARE(preview.exitStatus(), QProcess::NormalExit);
    QCOMPARE(preview.exitCode(), keyloft::kSkinFailureExitCode);
    QString errors = QString::fromLocal8Bit(preview.readAllStandardError());
    QVERIFY2(errors.contains(QString::fromStdString(skin.File(named.toStdString()).string())), qPrintable(errors));
  }
};

QTEST_MAIN(SkinExitTest)
#include "skin_exit_test.moc"
