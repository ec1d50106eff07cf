#pragma once

#include "widgets/namefit.h"

#include <QElapsedTimer>
#include <QWidget>

#include <memory>

class QLabel;
class QTimer;


namespace quorvel {

class NameLabel;

// The called name for the whole class to see: frameless and full screen, the
// grade and class small above the name, the countdown below it while one runs.
// It only shows what it is given; the classroom feeds it from the main window.
// Esc or a double click closes it; T switches between a light and a dark look.
class ProjectorView : public QWidget {
    Q_OBJECT
public:
    enum class Theme { Light, Dark };

    explicit ProjectorView(QWidget *parent = nullptr);
    ~ProjectorView() override;

    // Full screen on a screen other than the one `beside` is on, if there is one.
    void showOn(const QWidget *beside);

    void setClassText(const QString &text);
    // settled: the name stays (a draw stopped, a walk moved): it is shown at
    // once and assistive technology is told. Names flashing by in a draw are
    // not announced, and are drawn at most kFlashFrameMs apart: a projector
    // shows no more than that, and painting a name this large at every tick
    // would cost several times the tick itself.
    void setName(const QString &text, bool settled);
    static constexpr int kFlashFrameMs = 40;
    // Names drawn smooth at the projector's size are kept up to this many
    // bytes: about eight at 1920x1080, two megabytes each.
    static constexpr qsizetype kDrawnNameBytes = 16 * 1024 * 1024;
    void setCountdown(const QString &text, bool visible);

    Theme theme() const { return theme_; }
    void setTheme(Theme theme);

signals:
    void themeToggled(ProjectorView::Theme theme);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void paintName();

    QLabel *classLabel_, *timeLabel_;
    NameLabel *nameLabel_;
    QTimer *frame_;
    QElapsedTimer sinceFrame_;
    std::unique_ptr<NameFitter> fitter_;
    QString name_;
    Theme theme_ = Theme::Light;
};

} // namespace quorvel
