#pragma once

#include "rollcall/namefit.h"

#include <QWidget>

#include <memory>

class QLabel;

namespace quorvel {

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
    // settled: the name stays (a draw stopped, a walk moved), so assistive
    // technology is told; names flashing by in a draw are not announced.
    void setName(const QString &text, bool settled);
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
    QLabel *classLabel_, *nameLabel_, *timeLabel_;
    std::unique_ptr<NameFitter> fitter_;
    QString name_;
    Theme theme_ = Theme::Light;
};

} // namespace quorvel
