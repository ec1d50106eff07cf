#include "platform/speech.h"

#include <QLocale>
#include <QMetaObject>
#include <QMutex>
#include <QMutexLocker>
#include <QTextToSpeech>
#include <QThread>

namespace quorvel {

namespace {

bool isChinese(const QLocale &locale)
{
    return locale.language() == QLocale::Chinese;
}

} // namespace

struct QtSpeech::Engine {
    QThread thread;
    QObject *worker = nullptr;  // lives in thread; owns the QTextToSpeech
    QTextToSpeech *tts = nullptr;
    mutable QMutex mutex;
    bool ready = false;
    QString why = QStringLiteral("正在查找中文语音……");

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
            QString reason = QStringLiteral("语音引擎无法启动，请安装 speech-dispatcher 和 espeak-ng。");
            if (!tts->errorString().isEmpty())
                reason += QStringLiteral("（") + tts->errorString() + QStringLiteral("）");
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
        setState(false, QStringLiteral("没有可用的中文语音，请安装带中文的 espeak-ng。"));
    }
};

QtSpeech::QtSpeech() : engine_(std::make_unique<Engine>())
{
    Engine *e = engine_.get();
    e->worker = new QObject;
    e->worker->moveToThread(&e->thread);
    QObject::connect(&e->thread, &QThread::finished, e->worker, &QObject::deleteLater);
    e->thread.start();
    QMetaObject::invokeMethod(e->worker, [e] {
        if (QTextToSpeech::availableEngines().isEmpty()) {
            e->setState(false, QStringLiteral("没有安装语音引擎（Qt TextToSpeech 插件）。"));
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
    engine_->thread.quit();
    engine_->thread.wait();
}

bool QtSpeech::available() const
{
    QMutexLocker lock(&engine_->mutex);
    return engine_->ready;
}

QString QtSpeech::whyUnavailable() const
{
    QMutexLocker lock(&engine_->mutex);
    return engine_->why;
}

void QtSpeech::say(const QString &text)
{
    Engine *e = engine_.get();
    QMetaObject::invokeMethod(e->worker, [e, text] {
        if (e->tts && e->tts->state() != QTextToSpeech::Error) {
            e->tts->stop();
            e->tts->say(text);
        }
    });
}

} // namespace quorvel
