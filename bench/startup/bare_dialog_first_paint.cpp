// The yardstick for start-up: an empty QDialog of the sales window's size, built
// with the same compiler, flags and Qt, that shows itself and ends on its first
// painted frame.
#include "bench/startup/first_paint_probe.h"
#include "form/form_layout.h"

#include <QApplication>
#include <QDialog>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    QDialog dialog;
    dialog.setWindowTitle(QString::fromUtf8(
        tarnwick::windowEntry.caption.data(), static_cast<qsizetype>(tarnwick::windowEntry.caption.size())));
    dialog.setFixedSize(tarnwick::windowEntry.clientWidth / tarnwick::twipsPerPixel,
        tarnwick::windowEntry.clientHeight / tarnwick::twipsPerPixel);
    tarnwick::bench::FirstPaintProbe probe(dialog);
    dialog.show();
    return QApplication::exec();
}
