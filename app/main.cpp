#include "form/frm_tarnwick2.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    tarnwick::frmTarnwick2 form;
    form.show();
    return QApplication::exec();
}
