#pragma once

#include <QCoreApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QMetaObject>
#include <QObject>
#include <QWidget>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace tarnwick::bench {

// Watches a top-level window until its first paint pass is done, makes sure
// the display server has the frame, prints the moment on CLOCK_MONOTONIC as
// "first-paint-ns N" and the peak resident memory until then as
// "first-paint-hwm-kb K", and ends the event loop. The start-up benchmarks give
// the bare dialog and the real window the same probe, so whatever it costs
// weighs the same on both sides of the ratio.
class FirstPaintProbe final : public QObject {
public:
    explicit FirstPaintProbe(QWidget& window) { window.installEventFilter(this); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint) {
            watched->removeEventFilter(this);
            // Queued: the children's paint events and the flush to the window
            // belong to the same pass and are over before this runs.
            QMetaObject::invokeMethod(this, &finish, Qt::QueuedConnection);
        }
        return false;
    }

private:
    static long peakResidentKb()
    {
        long kb = -1;
        if (std::FILE* status = std::fopen("/proc/self/status", "r")) {
            char line[256];
            while (std::fgets(line, sizeof line, status)) {
                if (std::strncmp(line, "VmHWM:", 6) == 0)
                    kb = std::strtol(line + 6, nullptr, 10);
            }
            std::fclose(status);
        }
        return kb;
    }

    static void finish()
    {
        // A round trip: the server has taken the image before we call it painted.
        QGuiApplication::sync();
        timespec now{};
        clock_gettime(CLOCK_MONOTONIC, &now);
        std::printf("first-paint-ns %lld\n", static_cast<long long>(now.tv_sec) * 1'000'000'000LL + now.tv_nsec);
        std::printf("first-paint-hwm-kb %ld\n", peakResidentKb());
        std::fflush(stdout);
        QCoreApplication::exit(0);
    }
};

} // namespace tarnwick::bench
