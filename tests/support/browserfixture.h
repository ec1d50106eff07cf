#pragma once

// The browser opened from a main window on a throw-away database.

#include "exchange/browsedialog.h"
#include "widgets/flexgrid.h"
#include "store/connection.h"
#include "tests/support/windowfixture.h"

#include <functional>

namespace quorvel::testing {

struct BrowserFixture : WindowFixture {
    std::unique_ptr<BrowseDialog> dialog;

    // alsoStore writes what StudentRow cannot express, before the window opens.
    explicit BrowserFixture(const std::vector<StudentRow> &rows,
                            const std::function<void(store::Connection &)> &alsoStore = {})
    {
        db.addMany(rows);
        if (alsoStore)
            alsoStore(*db.connect());
        if (!open())
            qFatal("main window did not open");
        reopen();
    }
    void reopen()
    {
        dialog.reset();
        dialog = std::make_unique<BrowseDialog>(*store, services, window->gradeChoices(),
                                                window->classChoices(), window.get());
        dialog->show();
    }
    template <typename T>
    T *control(const char *name) const
    {
        T *w = dialog->findChild<T *>(QLatin1String(name));
        return w ? w : (qFatal("no control %s", name), nullptr);
    }
    FlexGrid *grid() const { return control<FlexGrid>("Grid1"); }
    void press(const char *button) const
    {
        QTest::mouseClick(control<QPushButton>(button), Qt::LeftButton);
    }
    // Chooses items by their exact text; a null text chooses none.
    void pick(const QString &grade, const QString &className) const
    {
        for (auto [name, text] : {std::pair{"ComboBox1", grade}, std::pair{"ComboBox2", className}}) {
            auto *box = control<QComboBox>(name);
            box->setCurrentIndex(text.isNull() ? -1 : box->findText(text, Qt::MatchExactly));
        }
    }
    void query(const QString &grade, const QString &className) const
    {
        pick(grade, className);
        press("PushButton1");
    }
    QStringList row(int r) const
    {
        QStringList cells;
        for (int c = 0; c < grid()->Cols(); ++c)
            cells << grid()->TextMatrix(r, c);
        return cells;
    }
    // Column 0 below the header row.
    QStringList names() const
    {
        QStringList list;
        for (int r = 1; r < grid()->Rows(); ++r)
            list << grid()->TextMatrix(r, 0);
        return list;
    }
};

} // namespace quorvel::testing
