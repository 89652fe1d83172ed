// Print Form through a real CUPS queue: run under with-private-cups, which makes a
// PDF file queue the default printer.
#include "form/frm_tarnwick2.h"

#include <QImage>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QtTest>

#include <cstdlib>
#include <optional>

namespace {

// The tool's standard output, or nothing when it failed.
std::optional<QString> runTool(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(60'000) || process.exitCode() != 0) {
        qWarning().noquote() << program << arguments << "failed:" << process.readAllStandardError();
        return std::nullopt;
    }
    return QString::fromLocal8Bit(process.readAllStandardOutput()).trimmed();
}

// Mean difference of the colour channels, 0..255; the PDF path stores the image as JPEG.
double meanDifference(const QImage& a, const QImage& b)
{
    double total = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y);
            const QRgb q = b.pixel(x, y);
            total += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) + std::abs(qBlue(p) - qBlue(q));
        }
    }
    return total / (3.0 * a.width() * a.height());
}

} // namespace

class FormPrintTest : public QObject {
    Q_OBJECT

private slots:
    void print_form_sends_an_image_of_the_window_to_the_default_printer()
    {
        const QString outdir = qEnvironmentVariable("TARNWICK_PRINT_OUTDIR");
        QVERIFY2(!outdir.isEmpty(), "run this test under with-private-cups");

        tarnwick::frmTarnwick2 window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.findChild<QRadioButton*>("optHairStyling")->click();
        window.findChild<QRadioButton*>("opt20Percent")->click();
        window.findChild<QPushButton*>("cmdCalculate")->click();
        const QImage onScreen = window.grab().toImage().convertToFormat(QImage::Format_RGB32);

        window.findChild<QPushButton*>("cmdPrint")->click();
        QVERIFY2(!QApplication::activeModalWidget(), "Print Form reported an error");

        const std::optional<QString> pdf = runTool(QFINDTESTDATA("wait-for-pdf"), {outdir, "60"});
        QVERIFY2(pdf && !pdf->isEmpty(), "no PDF came out of the queue");

        QTemporaryDir extracted;
        QVERIFY(extracted.isValid());
        QVERIFY(runTool("pdfimages", {"-png", *pdf, extracted.filePath("image")}));
        const QImage printed = QImage(extracted.filePath("image-000.png")).convertToFormat(QImage::Format_RGB32);
        QVERIFY2(!printed.isNull(), "the PDF holds no image");
        QCOMPARE(printed.size(), onScreen.size());
        const double difference = meanDifference(printed, onScreen);
        QVERIFY2(difference < 6.0, qPrintable(QString("printed image differs from the window by %1").arg(difference)));
    }
};

QTEST_MAIN(FormPrintTest)
#include "form_print_test.moc"
