#pragma once

#include <QString>

#include <memory>

namespace quorvel {

// Reads a text aloud in a Chinese voice. say() returns at once: speaking
// never holds up the window.
class Speech {
public:
    virtual ~Speech() = default;
    // Makes the engine, once: nothing of it runs before the first call.
    virtual void prepare() = 0;
    // Whether a Chinese voice has been found (it may be found a moment after
    // prepare()); while not, whyUnavailable() says why, and what to install,
    // for the teacher.
    virtual bool available() const = 0;
    virtual QString whyUnavailable() const = 0;
    virtual void say(const QString &text) = 0;
};

// Qt TextToSpeech (on Debian: speech-dispatcher with espeak-ng), run on a
// thread of its own, so that starting the engine and speaking never block.
class QtSpeech final : public Speech {
public:
    QtSpeech();
    ~QtSpeech() override;
    void prepare() override;
    bool available() const override;
    QString whyUnavailable() const override;
    void say(const QString &text) override;

private:
    struct Engine;
    std::unique_ptr<Engine> engine_;
};

} // namespace quorvel
