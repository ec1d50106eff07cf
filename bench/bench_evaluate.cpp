// bench_evaluate: recording an evaluation ("评价记入") for the student of a
// walk, on a large student file: the counter raised, the credits set and the
// row stored, together with whatever else the recording writes.
//
// Runs headless (QT_QPA_PLATFORM=offscreen unless set). Prints figures only.

#include "benchutil.h"

#include "platform/clock.h"
#include "tests/support/doubles.h"
#include "platform/random.h"
#include "platform/services.h"
#include "rollcall/evaluations.h"
#include "rollcall/mainwindow.h"
#include "store/statements.h"
#include "store/store.h"
#include "tests/support/testdb.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

using namespace quorvel;

namespace {

constexpr int kStudents = 50000;
constexpr int kClasses = 1000;
constexpr int kEvaluations = 400;

int run()
{
    std::printf("bench_evaluate: %d students in %d classes, %d evaluations in a walk\n\n",
                kStudents, kClasses, kEvaluations);
    testing::TempDatabase db;
    db.generate(kStudents, kClasses);

    ScriptedMessageBox messages;
    ScriptedFileDialog files;
    SystemClock clock;
    SplitMixRandom random;
    const Services services{messages, files, clock, random, db.directory()};
    store::Store store(db.directoryPath());
    MainWindow w(store, services);
    if (!w.load())
        throw std::runtime_error("load failed: " + messages.lastText().toStdString());
    w.show();
    QCoreApplication::processEvents();

    auto *grades = bench::child<QComboBox>(w, "ComboBox1");
    auto *classes = bench::child<QComboBox>(w, "ComboBox2");
    grades->setCurrentIndex(0);
    classes->setCurrentIndex(0);
    w.toggleWalk();  // start the walk
    if (!w.called)
        throw std::runtime_error("the walk did not start: " + messages.lastText().toStdString());
    auto *grade = bench::child<QComboBox>(w, "ComboBox3");
    auto *credits = bench::child<QLineEdit>(w, "Text1");

    std::vector<double> us;
    us.reserve(kEvaluations);
    for (int i = 0; i < kEvaluations; ++i) {
        grade->setCurrentIndex(i % 4);
        credits->setText(i % 3 ? QString::number(i % 10) : QString());
        messages.shown.clear();
        const auto t0 = bench::Clock::now();
        w.recordEvaluation();
        us.push_back(bench::microsecondsBetween(t0, bench::Clock::now()));
        if (messages.lastText() != QStringLiteral("评价记入成功！"))
            throw std::runtime_error("recording failed: " + messages.lastText().toStdString());
        if (i % 7 == 6)
            w.goNext();  // on to the next student now and then
    }
    const auto line = [](const char *what, const std::vector<double> &t) {
        std::printf("  %-34s median %8.1f   p90 %8.1f   max %9.1f   mean %8.1f us   (%zu)\n", what,
                    bench::median(t), bench::percentile(t, 0.90), bench::maximum(t),
                    bench::mean(t), t.size());
    };
    line("recording one, through the window", us);

    // The same recordings without a window: what the storage itself costs.
    Evaluations evaluations(clock);
    store::RecordSet rs;
    rs.open(store.openFresh(), store::studentsOfClass(grades->currentData().value<store::Value>(),
                                                      classes->currentData().value<store::Value>()));
    rs.moveFirst();
    std::vector<double> plain;
    plain.reserve(kEvaluations);
    for (int i = 0; i < kEvaluations; ++i) {
        const auto t0 = bench::Clock::now();
        evaluations.record(rs, static_cast<Evaluations::Grade>(i % 4),
                           i % 3 ? std::optional<int>(i % 10) : std::nullopt);
        plain.push_back(bench::microsecondsBetween(t0, bench::Clock::now()));
        if (i % 7 == 6 && rs.absolutePosition() < rs.recordCount())
            rs.moveNext();
    }
    line("recording one, Evaluations alone", plain);
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    return bench::runInApplication(argc, argv, run);
}
