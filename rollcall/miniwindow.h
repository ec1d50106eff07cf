#pragma once

#include <QPoint>
#include <QWidget>

#include <memory>

class QLabel;
class QPushButton;
class QSettings;

namespace quorvel {

class MainWindow;
class NameFitter;
class NameLabel;

// The grade and class chosen in the main window's lists, as they show them
// ("高一 1班"); empty when either has no choice.
QString chosenClassText(const MainWindow &main);

// 小窗: the roll call in a small frameless window that stays above the
// slides or the whiteboard. It shows the chosen class, the name the main
// window shows and one button that starts and stops the draw, or moves to the
// next student during a walk. It holds nothing of its own: what it shows it
// reads from the main window when the main window says it changed, and its
// button presses the main window's. It can be dragged anywhere on it and
// resized at its corner; its place and size are remembered in settings.
class MiniWindow : public QWidget {
    Q_OBJECT
public:
    MiniWindow(MainWindow &main, QSettings &settings);
    ~MiniWindow() override;

    // Shows it where it was last, or at the top right of the main window's
    // screen the first time, above other windows.
    void showAbove();

    // What its one button does now, as its caption says.
    QPushButton *button() const { return button_; }
    QString classText() const;
    QString nameText() const;

    static inline const QString kNext = QStringLiteral("下一个");

signals:
    // The teacher asked for the main window back.
    void backRequested();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void moveEvent(QMoveEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    void showClass();
    void showButton();
    void showName(const QString &text, bool settled);
    void pressButton();
    void fitName();
    void rememberPlace();

    MainWindow &main_;
    QSettings &settings_;
    QLabel *classLabel_;
    NameLabel *nameLabel_;
    QPushButton *button_, *back_;
    std::unique_ptr<NameFitter> fitter_;
    // Where the pointer took hold of the window, while it drags it by hand.
    QPoint grab_;
    bool dragging_ = false;
};

} // namespace quorvel
