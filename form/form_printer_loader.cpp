#include "form/form_printer.h"

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

// The module lies at the same place relative to the program whether installed
// or built; programs elsewhere in the build tree (tests, benchmarks) find it
// where it was built.
TarnwickPrintWindowImage printModuleEntry()
{
    static TarnwickPrintWindowImage entry = nullptr;
    if (entry)
        return entry;
    const QString places[] = {
        QCoreApplication::applicationDirPath() + QStringLiteral("/" TARNWICK_PRINTER_FROM_EXECUTABLE),
        QStringLiteral(TARNWICK_PRINTER_AS_BUILT),
    };
    QString why;
    for (const QString& place : places) {
        QLibrary module(place);
        if (!module.load()) {
            why = module.errorString();
            continue;
        }
        entry = reinterpret_cast<TarnwickPrintWindowImage>(module.resolve(tarnwickPrintWindowImageEntry));
        if (entry)
            return entry;
        why = module.errorString();
    }
    fail("the print module could not be loaded: " + why.toStdString());
}

} // namespace

void printWindowImage(QWidget& window)
{
    if (const char* reason = printModuleEntry()(&window))
        fail(reason);
}

} // namespace tarnwick
