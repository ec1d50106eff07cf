#pragma once

#include "store/value.h"

#include <QString>

#include <cstdint>

namespace quorvel {

// Lets the classroom features follow the roll calls of the main window. The
// window calls these at a few fixed points; without an observer it behaves
// exactly as it would with every classroom option off.
class RollCallObserver {
public:
    virtual ~RollCallObserver() = default;

    // rs has just been opened on this grade and class (as stored, and as the
    // lists show them), with students, for a draw or a walk.
    virtual void classOpened(const store::Value &grade, const store::Value &className,
                             const QString &gradeShown, const QString &classShown) = 0;
    // A draw is about to start on the class just opened. False refuses it,
    // after the teacher has been told why.
    virtual bool drawMayStart() = 0;
    // The row a tick lands on: r is the tick's random number in [0, 1) and
    // uniform the row the plain draw would take for it.
    virtual std::int32_t drawnRow(double r, std::int32_t uniform) = 0;
    // The draw has ended, by the button or by the countdown.
    virtual void drawEnded() = 0;
    // showname is about to show the name of the current row of rs; returns
    // the text it shows for it (the name, or the name marked).
    virtual QString nameShown(const QString &name) = 0;
    // The countdown has just shown its next second, or been shown or hidden
    // as a draw started.
    virtual void countdownShown() = 0;
    // An evaluation of the current row of rs has just been recorded.
    virtual void evaluationRecorded() {}
};

} // namespace quorvel
