// A second yardstick: the bare dialog with one label of text in it. Whatever
// shows text pays for the font set-up (fontconfig's configuration, a font file,
// glyphs) before its first frame, which the empty dialog never does; this
// dialog shows how much of the window's start-up that part alone is.
#include "bench/startup/first_paint_probe.h"
#include "form/form_layout.h"

#include <QApplication>
#include <QDialog>
#include <QLabel>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    QDialog dialog;
    const QString caption = QString::fromUtf8(
        tarnwick::windowEntry.caption.data(), static_cast<qsizetype>(tarnwick::windowEntry.caption.size()));
    dialog.setWindowTitle(caption);
    dialog.setFixedSize(tarnwick::windowEntry.clientWidth / tarnwick::twipsPerPixel,
        tarnwick::windowEntry.clientHeight / tarnwick::twipsPerPixel);
    QLabel label(caption, &dialog);
    label.move(10, 10);
    tarnwick::bench::FirstPaintProbe probe(dialog);
    dialog.show();
    return QApplication::exec();
}
