// How long a click on Calculate takes to reach the screen: from the mouse
// press on cmdCalculate until both amount labels have been repainted with the
// new amounts. The service alternates between two selections, so every click
// changes both labels.
//
//   click_to_repaint [CLICKS]   (default 1000)
//   -> "click-p99-ms P", "click-median-ms M" and "click-max-ms X"
#include "form/qt/frm_tarnwick2.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QEvent>
#include <QLabel>
#include <QObject>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

// Counts the paint events a label has been through.
class PaintCounter final : public QObject {
public:
    explicit PaintCounter(QWidget& widget) { widget.installEventFilter(this); }
    int count() const { return count_; }

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            ++count_;
        return false;
    }

private:
    int count_ = 0;
};

template <typename Control> Control& child(QWidget& window, const char* name)
{
    auto* control = window.findChild<Control*>(QString::fromLatin1(name));
    if (!control) {
        std::fprintf(stderr, "click_to_repaint: the window has no %s\n", name);
        std::exit(2);
    }
    return *control;
}

// Lets everything that is waiting run: posted events, paints, window-system events.
void settle()
{
    for (int round = 0; round < 3; ++round)
        QCoreApplication::processEvents(QEventLoop::AllEvents);
}

double milliseconds(std::chrono::steady_clock::duration span)
{
    return std::chrono::duration<double, std::milli>(span).count();
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    const int clicks = argc > 1 ? std::atoi(argv[1]) : 1000;
    if (clicks < 1) {
        std::fprintf(stderr, "usage: click_to_repaint [CLICKS]\n");
        return 2;
    }

    tarnwick::frmTarnwick2 form;
    form.show();
    if (!QTest::qWaitForWindowExposed(&form)) {
        std::fprintf(stderr, "click_to_repaint: the window never showed\n");
        return 2;
    }
    auto& calculate = child<QPushButton>(form, "cmdCalculate");
    auto& price = child<QLabel>(form, "lblServicePrice");
    auto& totalDue = child<QLabel>(form, "lblTotalDue");
    QRadioButton* services[]
        = {&child<QRadioButton>(form, "optHairStyling"), &child<QRadioButton>(form, "optManicure")};
    const PaintCounter pricePaints(price);
    const PaintCounter totalDuePaints(totalDue);

    // A few clicks first, so that the first timed one finds warm caches as every later one does.
    constexpr int warmUp = 20;
    std::vector<double> times;
    times.reserve(static_cast<std::size_t>(clicks));
    QString lastPrice = price.text();
    for (int click = 0; click < warmUp + clicks; ++click) {
        services[click % 2]->setChecked(true);
        settle();
        const int priceBefore = pricePaints.count();
        const int totalDueBefore = totalDuePaints.count();

        const auto start = std::chrono::steady_clock::now();
        QTest::mouseClick(&calculate, Qt::LeftButton);
        while (pricePaints.count() == priceBefore || totalDuePaints.count() == totalDueBefore)
            QCoreApplication::processEvents(QEventLoop::AllEvents);
        const auto end = std::chrono::steady_clock::now();

        if (price.text() == lastPrice || totalDue.text().isEmpty()) {
            std::fprintf(stderr, "click_to_repaint: click %d did not change the amounts\n", click);
            return 1;
        }
        lastPrice = price.text();
        if (click >= warmUp)
            times.push_back(milliseconds(end - start));
    }

    std::ranges::sort(times);
    const std::size_t middle = times.size() / 2;
    const double median = times.size() % 2 ? times[middle] : (times[middle - 1] + times[middle]) / 2;
    std::printf("clicks %d last-amounts %s %s\n", clicks, qPrintable(price.text()), qPrintable(totalDue.text()));
    std::printf("click-p99-ms %.3f\n", times[times.size() * 99 / 100]);
    std::printf("click-median-ms %.3f\n", median);
    std::printf("click-max-ms %.3f\n", times.back());
    return 0;
}
