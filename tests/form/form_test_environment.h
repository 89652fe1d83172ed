#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtGlobal>

#include <cstdio>
#include <cstdlib>

namespace tarnwick::test {

// Keeps a test process off the user's desktop and printers: no display is
// needed, and home, configuration, cache and runtime folders are private and
// temporary, so nothing the window or its libraries write lands in the
// user's. Must run before the application object exists; the folders go
// when the process ends.
inline void isolateTestProcess()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");

    static QTemporaryDir home(QDir::tempPath() + QStringLiteral("/tarnwick-form-test-XXXXXX"));
    if (!home.isValid()) {
        std::fprintf(stderr, "cannot make a temporary home: %s\n", qPrintable(home.errorString()));
        std::exit(EXIT_FAILURE);
    }
    const QDir root(home.path());
    const auto folder = [&root](const char* name) {
        root.mkpath(QString::fromLatin1(name));
        return QFile::encodeName(root.filePath(QString::fromLatin1(name)));
    };
    qputenv("HOME", QFile::encodeName(root.path()));
    qputenv("XDG_CONFIG_HOME", folder(".config"));
    qputenv("XDG_CACHE_HOME", folder(".cache"));
    qputenv("XDG_DATA_HOME", folder(".local/share"));
    const QByteArray runtime = folder("runtime");
    // The runtime folder must belong to us alone, or Qt warns and ignores it.
    QFile::setPermissions(QFile::decodeName(runtime), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv("XDG_RUNTIME_DIR", runtime);

    // Unless the test run names a print server, use one that does not exist:
    // there is then no default printer, and a print can never reach a real one.
    if (qEnvironmentVariableIsEmpty("CUPS_SERVER"))
        qputenv("CUPS_SERVER", QFile::encodeName(root.filePath(QStringLiteral("no-print-server.sock"))));
    qunsetenv("PRINTER");
    qunsetenv("LPDEST");
}

} // namespace tarnwick::test
