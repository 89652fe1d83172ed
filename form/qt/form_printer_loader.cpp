#include "form/qt/form_printer.h"

#include "logic/run_time_error.h"

#include <QCoreApplication>
#include <QLibrary>
#include <QString>

#include <string>

namespace tarnwick {

namespace {

[[noreturn]] void fail(const std::string& reason)
{
    throw RunTimeError::platformFailure("Print Form", reason);
}

// Only where the module was installed beside the program: a path fixed at
// build time would name a place on the build machine, which on the user's
// machine anyone might create. The build tree keeps the same layout.
TarnwickPrintWindowImage printModuleEntry()
{
    static TarnwickPrintWindowImage entry = nullptr;
    if (entry)
        return entry;
    QLibrary module(QCoreApplication::applicationDirPath() + QStringLiteral("/" TARNWICK_PRINTER_FROM_EXECUTABLE));
    if (!module.load())
        fail("the print module could not be loaded: " + module.errorString().toStdString());
    entry = reinterpret_cast<TarnwickPrintWindowImage>(module.resolve(tarnwickPrintWindowImageEntry));
    if (!entry)
        fail("the print module could not be loaded: " + module.errorString().toStdString());
    return entry;
}

} // namespace

void printWindowImage(QWidget& window)
{
    if (const char* reason = printModuleEntry()(&window))
        fail(reason);
}

} // namespace tarnwick
