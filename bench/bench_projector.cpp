// bench_projector: one tick of the rolling draw, painting included, with the
// classroom features attached, first without and then with the projector
// view open; and the ticks a second the running draw reaches in both cases.
//
// Runs headless (QT_QPA_PLATFORM=offscreen unless set). Prints figures only.

#include "benchutil.h"

#include "platform/clock.h"
#include "tests/support/doubles.h"
#include "platform/random.h"
#include "platform/services.h"
#include "rollcall/classroom.h"
#include "rollcall/mainwindow.h"
#include "widgets/namelabel.h"
#include "rollcall/projectorview.h"
#include "store/store.h"
#include "tests/support/ink.h"
#include "tests/support/testdb.h"

#include <QApplication>
#include <QComboBox>
#include <QEventLoop>
#include <QPushButton>
#include <QSettings>
#include <QSlider>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

using namespace quorvel;

namespace {

constexpr int kClassSize = 60;
constexpr int kPaintedTicks = 2000;
constexpr int kRunMs = 3000;

struct Figures {
    double medianUs, p99Us, ticksPerSecond, cpuUsPerTick;
};

double cpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

int run()
{
    testing::TempDatabase db;
    std::vector<testing::StudentRow> rows;
    for (int i = 0; i < kClassSize; ++i) {
        testing::StudentRow r;
        // Every fifth name is long enough to be shrunk to fit.
        r.name = i % 5 == 0 ? "阿卜杜热合曼·艾合买提·" + std::to_string(i) : "点名" + std::to_string(i);
        r.grade = "高2099级";
        r.className = "1班";
        rows.push_back(std::move(r));
    }
    db.addMany(rows);

    ScriptedMessageBox messages;
    ScriptedFileDialog files;
    SystemClock clock;
    SplitMixRandom random;
    const Services services{messages, files, clock, random, db.directory()};
    store::Store store(db.directoryPath());
    MainWindow w(store, services);
    QTemporaryDir settingsDir;
    QSettings settings(settingsDir.filePath(QStringLiteral("bench.ini")), QSettings::IniFormat);
    RecordingSpeech speech;
    Classroom room(w, store, services, speech, settings);
    room.setFairDraw(true);
    if (!w.load())
        return 1;
    w.show();
    QCoreApplication::processEvents();
    w.findChild<QComboBox *>(QStringLiteral("ComboBox1"))->setCurrentIndex(0);
    w.findChild<QComboBox *>(QStringLiteral("ComboBox2"))->setCurrentIndex(0);
    w.findChild<QSlider *>(QStringLiteral("Slider1"))->setValue(100);
    auto *timer = w.findChild<QTimer *>(QStringLiteral("Timer1"));

    const auto measure = [&] {
        Figures f{};
        w.toggleDraw();  // start
        // Ticks by hand first, the draw still rolling: the timer waits an hour.
        timer->start(3600 * 1000);
        std::vector<double> us;
        us.reserve(kPaintedTicks);
        for (int i = 0; i < kPaintedTicks; ++i) {
            const auto t0 = bench::Clock::now();
            w.drawTick();
            QCoreApplication::processEvents();
            us.push_back(bench::microsecondsBetween(t0, bench::Clock::now()));
        }
        f.medianUs = bench::median(us);
        f.p99Us = bench::percentile(us, 0.99);
        timer->start(10);
        int ticks = 0;
        const auto counter = QObject::connect(timer, &QTimer::timeout, [&] { ++ticks; });
        QEventLoop loop;
        QTimer::singleShot(kRunMs, Qt::PreciseTimer, &loop, &QEventLoop::quit);
        const auto start = bench::Clock::now();
        const double cpu0 = cpuSeconds();
        loop.exec();
        f.cpuUsPerTick = (cpuSeconds() - cpu0) * 1e6 / std::max(ticks, 1);
        f.ticksPerSecond = ticks / (bench::millisecondsSince(start) / 1000.0);
        QObject::disconnect(counter);
        w.toggleDraw();  // stop
        return f;
    };

    const Figures without = measure();
    room.openProjector();
    // As large as a 1080p projector, whatever the headless screen measures.
    room.projector()->showNormal();
    room.projector()->setGeometry(0, 0, 1920, 1080);
    QCoreApplication::processEvents();
    const auto size = room.projector()->size();
    const Figures with = measure();
    // What the class sees once the draw has stopped: the name, drawn.
    auto *name = room.projector()->findChild<NameLabel *>(QStringLiteral("projectorName"));
    const testing::Ink ink = testing::inkOf(name);
    const bool drawn = ink.pixels > 1000 && !name->text().isEmpty();

    std::printf("bench_projector: a class of %d, Slider1 = 100\n"
                "  (a) tick + processEvents, %d ticks by hand back to back: the projector view\n"
                "      paints a flashing name at most every %d ms, so most of these skip it\n"
                "  (b) the running draw for %d ms: CPU time of the whole process per tick,\n"
                "      every paint of both windows included\n\n",
                kClassSize, kPaintedTicks,
                ProjectorView::kFlashFrameMs, kRunMs);
    const auto line = [](const char *what, const Figures &f) {
        std::printf("  %-28s (a) median %7.1f us  p99 %7.1f us   (b) %6.1f ticks/s, %7.1f us CPU/tick\n",
                    what, f.medianUs, f.p99Us, f.ticksPerSecond, f.cpuUsPerTick);
    };
    line("without the projector view", without);
    char label[64];
    std::snprintf(label, sizeof label, "with it open (%dx%d)", size.width(), size.height());
    line(label, with);
    const double ratio = with.cpuUsPerTick / without.cpuUsPerTick;
    std::printf("\n  names kept drawn by the projector view: %d\n", name->cachedNames());
    std::printf("  the name the draw stopped on, \"%s\": %d pixels inked in %dx%d: %s\n",
                name->text().toUtf8().constData(), ink.pixels, ink.box.width(), ink.box.height(),
                drawn ? "drawn" : "NOT DRAWN");
    std::printf("  CPU per tick of the running draw, with / without: %.2f   target <= 1.5: %s\n",
                ratio, ratio <= 1.5 ? "met" : "NOT met");
    std::printf("peak memory: VmHWM %.1f MiB\n", bench::peakMiB());
    return messages.shown.empty() && drawn ? 0 : 1;
}

} // namespace

int main(int argc, char *argv[])
{
    return bench::runInApplication(argc, argv, run);
}
