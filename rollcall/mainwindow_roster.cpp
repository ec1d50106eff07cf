// The main window following changes of the roster made beside it.

#include "rollcall/mainwindow.h"

#include "rollcall/rollcallobserver.h"
#include "rollcall/texts.h"
#include "store/error.h"
#include "store/recordset.h"
#include "store/statements.h"
#include "store/store.h"
#include "widgets/namelabel.h"
#include "widgets/panelstatusbar.h"

#include <QComboBox>
#include <QGroupBox>
#include <QPushButton>

namespace quorvel {

namespace {

std::optional<store::Value> chosenValue(const QComboBox *box)
{
    if (box->currentIndex() < 0)
        return std::nullopt;
    return box->currentData().value<store::Value>();
}

void choose(QComboBox *box, const std::optional<store::Value> &value)
{
    if (!value)
        return;
    for (int i = 0; i < box->count(); ++i)
        if (box->itemData(i).value<store::Value>() == *value) {
            box->setCurrentIndex(i);
            return;
        }
}

} // namespace

void MainWindow::followRoster(const GradeRenames &renamed)
{
    const auto after = [&renamed](const store::Value &grade) -> std::optional<store::Value> {
        const auto found = renamed.find(grade);
        return found == renamed.end() ? std::optional<store::Value>(grade) : found->second;
    };
    std::optional<store::Value> grade = chosenValue(ComboBox1);
    if (grade)
        grade = after(*grade);
    const std::optional<store::Value> className = chosenValue(ComboBox2);

    store::RecordSet &rs = *store_.rs;
    const bool inRollCall = rs.isOpen() && rollCall_ && called;
    const std::int64_t shownKey = inRollCall && rs.absolutePosition() != 0 ? rs.key() : 0;
    try {
        store::ConnectionScope db(store_);
        loadlists();  // closes rs
        choose(ComboBox1, grade);
        choose(ComboBox2, className);
        if (!inRollCall)
            return;
        const std::optional<store::Value> rollGrade = after(rollCall_->grade);
        if (rollGrade)
            rs.open(store_.conn, store::studentsOfClass(*rollGrade, rollCall_->className));
        if (!rollGrade || rs.recordCount() == 0) {
            rs.close();
            leaveRollCall();
            return;
        }
        if (*rollGrade != rollCall_->grade) {
            rollCall_->grade = *rollGrade;
            rollCall_->gradeShown = storedText(*rollGrade);
        }
        if (observer_)
            observer_->classOpened(rollCall_->grade, rollCall_->className, rollCall_->gradeShown,
                                   rollCall_->classShown);
        long at = 0;
        for (long p = 1; p <= rs.recordCount() && at == 0 && shownKey != 0; ++p) {
            rs.setAbsolutePosition(p);
            if (rs.key() == shownKey)
                at = p;
        }
        if (at == 0 && !walking()) {
            // The student called by the draw has left the class.
            rs.close();
            leaveRollCall();
            return;
        }
        db.keep();
        curno = at != 0 ? static_cast<std::int32_t>(at)
                        : std::min(curno, static_cast<std::int32_t>(rs.recordCount()));
        position();
    } catch (const store::DbError &e) {
        store_.rs->close();
        leaveRollCall();
        reportDatabaseFailure(e);
    }
}

void MainWindow::leaveRollCall()
{
    if (walking())
        toggleWalk();  // stops it
    called = false;
    curno = 0;
    showName(QString());
    for (int i = 1; i <= 5; ++i)
        Stat->setPanelText(i, QString());
}

} // namespace quorvel
