#pragma once

// A main window on a throw-away database, with scripted services.

#include "tests/support/doubles.h"
#include "platform/services.h"
#include "workbook/workbookwriter.h"
#include "rollcall/mainwindow.h"
#include "widgets/panelstatusbar.h"
#include "store/store.h"
#include "tests/support/testdb.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include <memory>

namespace quorvel::testing {

struct WindowFixture {
    TempDatabase db;
    ScriptedMessageBox messages;
    ScriptedFileDialog files;
    ManualClock clock;
    ScriptedRandom random;
    ScriptedLauncher launcher;
    XlsxWorkbookWriter workbooks;
    Services services{messages, files, clock, random, db.directory(), nullptr, &workbooks, &launcher};
    std::unique_ptr<store::Store> store;
    std::unique_ptr<MainWindow> window;

    // Builds and loads the window; false when the start-up failed.
    bool open()
    {
        store = std::make_unique<store::Store>(db.directoryPath());
        window = std::make_unique<MainWindow>(*store, services);
        if (!window->load())
            return false;
        window->show();
        return QTest::qWaitForWindowExposed(window.get());
    }

    template <typename T>
    T *find(const char *name) const
    {
        T *w = window->findChild<T *>(QLatin1String(name));
        if (!w)
            qFatal("no control %s", name);
        return w;
    }

    void choose(const QString &grade, const QString &className) const
    {
        auto *grades = find<QComboBox>("ComboBox1");
        auto *classes = find<QComboBox>("ComboBox2");
        grades->setCurrentIndex(grades->findText(grade));
        classes->setCurrentIndex(classes->findText(className));
    }

    void click(const char *button) const
    {
        QTest::mouseClick(find<QPushButton>(button), Qt::LeftButton);
    }

    QString text(const char *label) const { return find<QLabel>(label)->text(); }
    QString buttonText(const char *button) const { return find<QPushButton>(button)->text(); }
    QString panel(int i) const { return find<PanelStatusBar>("Stat")->panelText(i); }
    QString shownName() const { return text("showname"); }
};

} // namespace quorvel::testing
