#include "form/qt/frm_tarnwick2.h"
#include "form/qt/user_money_format.h"

#include <QApplication>
#include <QtGlobal>

int main(int argc, char* argv[])
{
    // Qt's GTK platform theme (GNOME, Xfce) loads GTK into the program for its
    // colours and fonts, and GTK's own accessibility bridge would then put a
    // second, empty application of this process on the accessibility bus
    // beside Qt's. The program shows no GTK window, so GTK's is left off.
    if (!qEnvironmentVariableIsSet("NO_AT_BRIDGE"))
        qputenv("NO_AT_BRIDGE", "1");
    QApplication application(argc, argv);
    // QApplication takes the locale's categories together, and none of them
    // when one names a locale that is not installed; money is taken alone.
    tarnwick::takeMoneyLocaleFromEnvironment();
    tarnwick::frmTarnwick2 form;
    form.show();
    return QApplication::exec();
}
