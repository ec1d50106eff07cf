#pragma once

// Stand-ins for the run-time services, for tests and benchmarks: nothing here
// blocks or depends on the time of day.

#include "platform/clock.h"
#include "platform/filedialog.h"
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
    QString openFile(const QString &label, const QString &pattern) override;

    // Paths to return, in order; an empty queue means the teacher cancels.
    std::deque<QString> paths;
    QString lastLabel, lastPattern;
    int opened = 0;
};

class ManualClock final : public Clock {
public:
    double secondsSinceMidnight() const override { return now; }
    double now = 36000.0;
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
    bool available() const override { return hasVoice; }
    QString whyUnavailable() const override { return hasVoice ? QString() : reason; }
    void say(const QString &text) override { said.push_back(text); }

    bool hasVoice = true;
    QString reason = QStringLiteral("没有可用的中文语音");
    std::vector<QString> said;
};

} // namespace quorvel
