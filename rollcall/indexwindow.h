#pragma once

#include <QWidget>

class QLabel;
class QTimer;

namespace quorvel {

// The loading window shown while the start-up reads the student table.
class IndexWindow : public QWidget {
    Q_OBJECT
public:
    explicit IndexWindow(QWidget *parent = nullptr);

public slots:
    // Alternates the label between its long and short form.
    void blinkLabel();

private:
    QLabel *Label1;
    QTimer *Timer1;
};

} // namespace quorvel
