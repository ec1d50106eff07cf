// bench_tick: the rolling draw on a large student file. How long one tick of
// the draw takes, and how many ticks a second the running window reaches at
// the fastest speed, painting included.
//
// Runs headless (QT_QPA_PLATFORM=offscreen unless set). Prints figures only.

#include "benchutil.h"

#include "platform/clock.h"
#include "tests/support/doubles.h"
#include "widgets/fonts.h"
#include "platform/random.h"
#include "platform/services.h"
#include "rollcall/mainwindow.h"
#include "store/error.h"
#include "store/store.h"
#include "tests/support/testdb.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QEventLoop>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QTimer>

#include <cstdio>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

using namespace quorvel;

namespace {

constexpr int kStudents = 50000;
constexpr int kClasses = 1000;
constexpr int kClassSize = 60;
const QString kGrade = QStringLiteral("高2099级");
const QString kClass = QStringLiteral("1班");
constexpr int kDirectTicks = 20000;
constexpr int kPaintedTicks = 2000;
constexpr int kRunMs = 5000;

// Counts the paint events a widget receives.
class PaintCounter : public QObject {
public:
    int paints = 0;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints;
        return QObject::eventFilter(watched, event);
    }
};

void printMicros(const char *what, const std::vector<double> &us)
{
    std::printf("  %-30s median %8.2f   p99 %8.2f   max %9.2f   mean %8.2f us   (%zu ticks)\n",
                what, bench::median(us), bench::percentile(us, 0.99), bench::maximum(us),
                bench::mean(us), us.size());
}

bool choose(QComboBox *box, const QString &item)
{
    const int index = box->findText(item);
    if (index < 0)
        return false;
    box->setCurrentIndex(index);
    return true;
}

int run()
{
    std::printf("bench_tick: %d students in %d classes, plus %d in %s %s\n\n", kStudents,
                kClasses, kClassSize, kGrade.toUtf8().constData(), kClass.toUtf8().constData());

    testing::TempDatabase db;
    const double generateMs = bench::timeMs([&] {
        db.generate(kStudents, kClasses);
        std::vector<testing::StudentRow> extra;
        for (int i = 0; i < kClassSize; ++i) {
            testing::StudentRow r;
            r.name = "点名" + std::to_string(i + 1);
            r.grade = kGrade.toStdString();
            r.className = kClass.toStdString();
            extra.push_back(std::move(r));
        }
        db.addMany(extra);
    });
    std::printf("generation (not part of the measurement): %.0f ms\n", generateMs);

    ScriptedMessageBox messages;
    ScriptedFileDialog files;
    SystemClock clock;
    SplitMixRandom random;
    const Services services{messages, files, clock, random, db.directory()};
    store::Store store(db.directoryPath());

    MainWindow w(store, services);
    if (!w.load()) {
        std::printf("load failed: %s\n", messages.lastText().toUtf8().constData());
        return 1;
    }
    w.show();
    QCoreApplication::processEvents();

    auto *grades = bench::child<QComboBox>(w, "ComboBox1");
    auto *classes = bench::child<QComboBox>(w, "ComboBox2");
    auto *speed = bench::child<QSlider>(w, "Slider1");
    auto *autoStop = bench::child<QCheckBox>(w, "stoponoff");
    auto *drawButton = bench::child<QPushButton>(w, "PushButton1");
    auto *name = bench::child<QLabel>(w, "showname");
    auto *timer = bench::child<QTimer>(w, "Timer1");
    if (!choose(grades, kGrade) || !choose(classes, kClass)) {
        std::printf("the lists lack %s / %s\n", kGrade.toUtf8().constData(),
                    kClass.toUtf8().constData());
        return 1;
    }
    speed->setValue(100);
    autoStop->setChecked(false);

    const auto startDraw = [&] {
        const double ms = bench::timeMs([&] { w.toggleDraw(); });
        if (!timer->isActive() || !messages.shown.empty())
            throw std::runtime_error("the draw did not start: "
                                     + messages.lastText().toStdString());
        return ms;
    };
    const auto stopDraw = [&] {
        w.toggleDraw();
        if (timer->isActive())
            throw std::runtime_error("the draw did not stop");
    };

    const double startMs = startDraw();
    std::printf("starting the draw (opens the file, reads the class): %.2f ms, "
                "Timer1 interval %d ms, button \"%s\"\n\n",
                startMs, timer->interval(), drawButton->text().toUtf8().constData());

    // (a) one tick, called directly; the event loop does not run in between.
    std::vector<double> tickUs;
    tickUs.reserve(kDirectTicks);
    std::set<int> drawn;
    std::vector<int> timesDrawn(kClassSize + 1, 0);
    int repeats = 0;
    int previous = 0;
    for (int i = 0; i < kDirectTicks; ++i) {
        const auto t0 = bench::Clock::now();
        w.drawTick();
        const auto t1 = bench::Clock::now();
        tickUs.push_back(bench::microsecondsBetween(t0, t1));
        drawn.insert(w.curno);
        if (w.curno >= 1 && w.curno <= kClassSize)
            ++timesDrawn[static_cast<std::size_t>(w.curno)];
        if (w.curno == previous)
            ++repeats;
        previous = w.curno;
    }
    std::printf("(a) one tick, SystemClock + SplitMixRandom, %d calls\n", kDirectTicks);
    printMicros("drawTick", tickUs);
    std::printf("  target median <= 50 us: %s\n",
                bench::median(tickUs) <= 50.0 ? "met" : "NOT met");
    std::printf("  students drawn: %zu of %d (curno %d..%d); same as the previous tick %d times"
                " (%.2f%%, even odds %.2f%%)\n",
                drawn.size(), kClassSize, drawn.empty() ? 0 : *drawn.begin(),
                drawn.empty() ? 0 : *drawn.rbegin(), repeats,
                100.0 * repeats / kDirectTicks, 100.0 / kClassSize);
    // Pearson's statistic over the class: about 59 +- 11 for an even draw.
    double chiSquare = 0.0;
    const double expected = static_cast<double>(kDirectTicks) / kClassSize;
    for (int n = 1; n <= kClassSize; ++n) {
        const double d = timesDrawn[static_cast<std::size_t>(n)] - expected;
        chiSquare += d * d / expected;
    }
    std::printf("  evenness of the draw: chi-square %.1f with %d degrees of freedom\n", chiSquare,
                kClassSize - 1);

    // (a') the tick followed by the event processing it causes (layout and
    // painting of the name and status bar), with the timer stopped.
    stopDraw();
    QCoreApplication::processEvents();
    std::vector<double> paintedUs;
    paintedUs.reserve(kPaintedTicks);
    for (int i = 0; i < kPaintedTicks; ++i) {
        const auto t0 = bench::Clock::now();
        w.drawTick();
        QCoreApplication::processEvents();
        const auto t1 = bench::Clock::now();
        paintedUs.push_back(bench::microsecondsBetween(t0, t1));
    }
    printMicros("tick + processEvents", paintedUs);

    // (b) the running draw: the event loop for a fixed time at the fastest speed.
    const double restartMs = startDraw();
    PaintCounter paints;
    name->installEventFilter(&paints);
    std::vector<bench::Clock::time_point> ticks;
    ticks.reserve(static_cast<std::size_t>(kRunMs));
    const auto counter = QObject::connect(timer, &QTimer::timeout,
                                          [&] { ticks.push_back(bench::Clock::now()); });
    QEventLoop loop;
    QTimer::singleShot(kRunMs, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    const auto runStart = bench::Clock::now();
    loop.exec();
    const double runSeconds = bench::millisecondsSince(runStart) / 1000.0;
    QObject::disconnect(counter);
    name->removeEventFilter(&paints);
    stopDraw();

    std::vector<double> intervalsMs;
    for (std::size_t i = 1; i < ticks.size(); ++i)
        intervalsMs.push_back(bench::microsecondsBetween(ticks[i - 1], ticks[i]) / 1000.0);
    const double rate = static_cast<double>(ticks.size()) / runSeconds;
    std::printf("\n(b) running draw, Slider1 = %d, window shown (restart took %.2f ms)\n",
                speed->value(), restartMs);
    std::printf("  ticks: %zu in %.3f s = %.1f ticks/s   target >= 95/s: %s\n", ticks.size(),
                runSeconds, rate, rate >= 95.0 ? "met" : "NOT met");
    std::printf("  interval between ticks: median %.2f   p99 %.2f   max %.2f ms\n",
                bench::median(intervalsMs), bench::percentile(intervalsMs, 0.99),
                bench::maximum(intervalsMs));
    std::printf("  paint events of showname: %d (%.1f/s)\n", paints.paints,
                paints.paints / runSeconds);

    std::printf("\nmessages shown: %zu\n", messages.shown.size());
    for (const auto &m : messages.shown)
        std::printf("  message: %s\n", m.text.toUtf8().constData());
    std::printf("peak memory: VmHWM %.1f MiB\n", bench::peakMiB());
    return messages.shown.empty() ? 0 : 1;
}

} // namespace

int main(int argc, char *argv[])
{
    return bench::runInApplication(argc, argv, run);
}
