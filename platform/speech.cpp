#include "platform/speech.h"

#include <QDeadlineTimer>
#include <QLocale>
#include <QMetaObject>
#include <QMutex>
#include <QMutexLocker>
#include <QTextToSpeech>
#include <QThread>
#include <QVoice>

#include <vector>

namespace quorvel {

namespace {

bool isChinese(const QLocale &locale)
{
    return locale.language() == QLocale::Chinese;
}

// How long the end of the program waits for the speech thread.
constexpr int kEndWaitMs = 1000;

// What the teacher installs for names read aloud.
const QString kInstall = QStringLiteral(
    "请安装 speech-dispatcher、speech-dispatcher-espeak-ng 和 espeak-ng。");

} // namespace

struct QtSpeech::Engine {
    QThread thread;
    QObject *worker = nullptr;  // lives in thread; owns the QTextToSpeech
    QTextToSpeech *tts = nullptr;
    mutable QMutex mutex;
    bool ready = false;
    QString why = QStringLiteral("正在查找中文语音……如果一直找不到，") + kInstall;

    void setState(bool isReady, const QString &reason)
    {
        QMutexLocker lock(&mutex);
        ready = isReady;
        why = reason;
    }

    // On the speech thread: picks a Chinese voice once the engine is ready.
    void chooseVoice()
    {
        if (tts->state() == QTextToSpeech::Error) {
            QString reason = QStringLiteral("语音引擎无法启动。") + kInstall;
            if (!tts->errorString().isEmpty())
                reason += QStringLiteral("（引擎报告：") + tts->errorString() + QStringLiteral("）");
            setState(false, reason);
            return;
        }
        {
            QMutexLocker lock(&mutex);
            if (ready)
                return;
        }
        for (const QLocale &locale : tts->availableLocales()) {
            if (isChinese(locale)) {
                tts->setLocale(locale);
                setState(true, {});
                return;
            }
        }
        // espeak-ng calls Mandarin "cmn", which the toolkit knows as no
        // language: its voices are found by name among those without one.
        if (tts->availableLocales().contains(QLocale::c())) {
            tts->setLocale(QLocale::c());
            for (const QVoice &voice : tts->availableVoices()) {
                if (voice.name().startsWith(QLatin1String("Chinese (Mandarin"))) {
                    tts->setVoice(voice);
                    setState(true, {});
                    return;
                }
            }
        }
        setState(false, QStringLiteral("没有可用的中文语音。") + kInstall);
    }
};

QtSpeech::QtSpeech() = default;

void QtSpeech::prepare()
{
    if (engine_)
        return;
    engine_ = std::make_unique<Engine>();
    Engine *e = engine_.get();
    e->worker = new QObject;
    e->worker->moveToThread(&e->thread);
    QObject::connect(&e->thread, &QThread::finished, e->worker, &QObject::deleteLater);
    e->thread.start();
    QMetaObject::invokeMethod(e->worker, [e] {
        if (QTextToSpeech::availableEngines().isEmpty()) {
            e->setState(false, QStringLiteral("没有安装朗读所需的语音插件，请安装 "
                                              "qt6-speech-speechd-plugin、speech-dispatcher、"
                                              "speech-dispatcher-espeak-ng 和 espeak-ng。"));
            return;
        }
        e->tts = new QTextToSpeech(e->worker);
        QObject::connect(e->tts, &QTextToSpeech::stateChanged, e->worker,
                         [e] { e->chooseVoice(); });
        e->chooseVoice();
    });
}

QtSpeech::~QtSpeech()
{
    if (!engine_)
        return;
    engine_->thread.quit();
    // A speech service that never answers (a stuck speech-dispatcher) holds
    // the thread inside the engine: the program must still be able to end.
    // Such an engine is left as it is, for the process's end to stop.
    if (!engine_->thread.wait(QDeadlineTimer(kEndWaitMs))) {
        // Never destroyed, not even at exit: a thread still running must
        // not be.
        static auto *stuck = new std::vector<Engine *>;
        stuck->push_back(engine_.release());
    }
}

bool QtSpeech::available() const
{
    if (!engine_)
        return false;
    QMutexLocker lock(&engine_->mutex);
    return engine_->ready;
}

QString QtSpeech::whyUnavailable() const
{
    if (!engine_)
        return QStringLiteral("语音引擎尚未启动");
    QMutexLocker lock(&engine_->mutex);
    return engine_->why;
}

void QtSpeech::say(const QString &text)
{
    Engine *e = engine_.get();
    if (!e)
        return;
    QMetaObject::invokeMethod(e->worker, [e, text] {
        if (e->tts && e->tts->state() != QTextToSpeech::Error) {
            e->tts->stop();
            e->tts->say(text);
        }
    });
}

} // namespace quorvel
