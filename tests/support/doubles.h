#pragma once

// Stand-ins for the run-time services, for tests and benchmarks: nothing here
// blocks or depends on the time of day.

#include "platform/clock.h"
#include "platform/filedialog.h"
#include "platform/launcher.h"
#include "platform/messagebox.h"
#include "platform/random.h"
#include "platform/speech.h"

#include <deque>
#include <functional>
#include <vector>

namespace quorvel {

class ScriptedMessageBox final : public MessageBox {
public:
    struct Shown {
        QString text;
        MessageStyle style;
    };

    Answer show(const QString &text, MessageStyle style) override;

    // Answers for the next questions, in order; a question without a scripted
    // answer gets Yes.
    std::deque<Answer> answers;
    // Runs while a message is "on screen", before it returns.
    std::function<void(const Shown &)> onShow;
    std::vector<Shown> shown;

    QString lastText() const { return shown.empty() ? QString() : shown.back().text; }
};

class ScriptedFileDialog final : public FileDialog {
public:
    QString openFile(const QList<FileFilter> &filters) override;

    // Paths to return, in order; an empty queue means the teacher cancels.
    std::deque<QString> paths;
    // The file kinds last offered, as shown: "Excel文件(*.xls)".
    QStringList lastFilters;
    int opened = 0;

    QString saveFile(const QString &caption, const QString &label, const QString &pattern,
                     const QString &suggested) override;
    // Paths to save to, in order; an empty queue means the teacher cancels.
    std::deque<QString> savePaths;
    QString lastSuggested;
    int savesAsked = 0;
};

// A desktop where only the named programs are installed (found as
// "/usr/bin/NAME"), and where starting one does nothing but note it.
class ScriptedLauncher final : public Launcher {
public:
    QString findProgram(const QStringList &names) const override;
    void start(const QString &program, const QStringList &arguments, Failed failed) override;

    QStringList installed;
    // When set, every start fails with this reason, reported on the event
    // loop as the real one does.
    QString failure;
    struct Start {
        QString program;
        QStringList arguments;
    };
    std::vector<Start> started;

private:
    QObject alive_;  // no report outlives the launcher
};

// A clock that stands still until a test moves it: on day, seconds past
// its midnight (a Monday at 10:00 unless set).
class ManualClock final : public Clock {
public:
    QDateTime now() const override
    {
        return QDateTime(day, QTime(0, 0)).addMSecs(static_cast<qint64>(seconds * 1000));
    }
    double secondsSinceMidnight() const override { return seconds; }
    void set(const QDateTime &at)
    {
        day = at.date();
        seconds = at.time().msecsSinceStartOfDay() / 1000.0;
    }
    QDate day{2026, 3, 2};
    double seconds = 36000.0;
};

class ScriptedRandom final : public Random {
public:
    void reseed(double seed) override { seeds.push_back(seed); }
    double next() override;

    // Values to return, in order; when they run out, 0 is returned.
    std::deque<double> values;
    std::vector<double> seeds;
};

// Speech that only records what it was asked to say.
class RecordingSpeech final : public Speech {
public:
    void prepare() override { ++prepared; }
    bool available() const override { return hasVoice; }
    QString whyUnavailable() const override { return hasVoice ? QString() : reason; }
    void say(const QString &text) override { said.push_back(text); }

    bool hasVoice = true;
    QString reason = QStringLiteral("没有可用的中文语音");
    std::vector<QString> said;
    int prepared = 0;
};

} // namespace quorvel
