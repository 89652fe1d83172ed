#include "form/qt/frm_tarnwick2.h"
#include "form/qt/user_money_format.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    // QApplication takes the locale's categories together, and none of them
    // when one names a locale that is not installed; money is taken alone.
    tarnwick::takeMoneyLocaleFromEnvironment();
    tarnwick::frmTarnwick2 form;
    form.show();
    return QApplication::exec();
}
