// The program's own start-up, as app/main.cpp does it, ending on the window's
// first painted frame.
#include "bench/startup/first_paint_probe.h"
#include "form/qt/frm_tarnwick2.h"
#include "form/qt/user_money_format.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    tarnwick::takeMoneyLocaleFromEnvironment();
    tarnwick::frmTarnwick2 form;
    tarnwick::bench::FirstPaintProbe probe(form);
    form.show();
    return QApplication::exec();
}
