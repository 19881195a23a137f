#include <QApplication>
#include <QIcon>
#include <QImage>
#include <QTest>

// The windows and the program name the pictures by these resource paths.
class TestPictures : public QObject {
    Q_OBJECT
private slots:
    void picture_data();
    void picture();
    void logoHasTransparentSurround();
};

void TestPictures::picture_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<QSize>("size");
    QTest::newRow("logo") << ":/images/logo.png" << QSize(200, 55);
    QTest::newRow("rds emblem") << ":/images/rds.png" << QSize(55, 55);
    QTest::newRow("application icon") << ":/images/quillmark.png" << QSize(32, 32);
    QTest::newRow("icon 48") << ":/images/quillmark-48.png" << QSize(48, 48);
    QTest::newRow("icon 64") << ":/images/quillmark-64.png" << QSize(64, 64);
    QTest::newRow("icon 128") << ":/images/quillmark-128.png" << QSize(128, 128);
    QTest::newRow("icon 256") << ":/images/quillmark-256.png" << QSize(256, 256);
    QTest::newRow("browser window icon") << ":/images/navegador.png" << QSize(32, 32);
}

void TestPictures::picture() {
    QFETCH(QString, path);
    QFETCH(QSize, size);
    const QImage image(path);
    QVERIFY2(!image.isNull(), qPrintable(path));
    QCOMPARE(image.size(), size);
    // Not a blank placeholder: the picture uses more than one colour.
    const QRgb first = image.pixel(0, 0);
    bool varied = false;
    for (int y = 0; y < image.height() && !varied; ++y)
        for (int x = 0; x < image.width() && !varied; ++x)
            varied = image.pixel(x, y) != first;
    QVERIFY(varied);
}

// The logo sits on the panel colour of each window, so its corners must let it through.
void TestPictures::logoHasTransparentSurround() {
    const QImage logo(":/images/logo.png");
    QVERIFY(logo.hasAlphaChannel());
    QCOMPARE(qAlpha(logo.pixel(logo.width() - 1, 0)), 0);
    QCOMPARE(qAlpha(logo.pixel(logo.width() - 1, logo.height() - 1)), 0);
}

QTEST_MAIN(TestPictures)
#include "test_pictures.moc"
