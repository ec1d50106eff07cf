#include "app/wiring.h"

#include "exchange/promotedialog.h"
#include "exchange/rosterdialog.h"
#include "exchange/rosterupdate.h"
#include "exchange/rosterupdatedialog.h"
#include "platform/filedialog.h"
#include "platform/messagebox.h"
#include "rollcall/classroom.h"
#include "rollcall/mainwindow.h"
#include "rollcall/texts.h"
#include "widgets/geometry.h"

#include <QAction>
#include <QMenu>

namespace quorvel {

void addRosterEntries(MainWindow &main, Classroom &classroom, store::Store &store,
                      const Services &services)
{
    // The roster's entries stand before 备份与恢复, which ends the menu.
    QMenu *menu = classroom.menu();
    QAction *backups = nullptr;
    for (QAction *a : menu->actions())
        if (a->objectName() == QLatin1String("backupsAction"))
            backups = a;
    if (!backups)
        menu->addSeparator();
    const auto entry = [menu, backups](const char *name, const QString &text) {
        auto *a = new QAction(text, menu);
        a->setObjectName(QLatin1String(name));
        menu->insertAction(backups, a);
        return a;
    };
    // The roll call reads its class as the draw goes: the roster waits for it.
    const auto drawing = [&main, services] {
        if (!main.drawing())
            return false;
        services.messages.show(QStringLiteral("正在随机点名，请先停止点名再修改名单。"),
                               MessageStyle::Error);
        return true;
    };

    QObject::connect(entry("rosterAction", QStringLiteral("学生名单")), &QAction::triggered, &main,
                     [&main, &store, services, drawing] {
                         if (drawing())
                             return;
                         const auto chosen = main.chosen();
                         if (!chosen) {
                             services.messages.show(texts::kNoClassChosen, MessageStyle::Error);
                             return;
                         }
                         RosterDialog roster(store, services, chosen->first, chosen->second,
                                             [&main] { main.followRoster(); }, &main);
                         if (!roster.reload())
                             return;
                         centreOnScreen(&roster);
                         roster.exec();
                     });
    QObject::connect(entry("rosterUpdateAction", QStringLiteral("更新名单…")), &QAction::triggered,
                     &main, [&main, &store, services, drawing] {
                         if (drawing())
                             return;
                         const QString path = services.files.openFile(rosterFileKinds());
                         if (path.isEmpty())
                             return;
                         RosterUpdateDialog update(store, services, [&main] { main.followRoster(); },
                                                   &main);
                         centreOnScreen(&update);
                         update.show();
                         if (update.preview(path))
                             update.exec();
                     });
    QObject::connect(entry("promoteAction", QStringLiteral("升年级…")), &QAction::triggered, &main,
                     [&main, &store, services, drawing] {
                         if (drawing())
                             return;
                         PromoteDialog promote(
                             store, services,
                             [&main](const PromoteDialog::Renamed &renamed) {
                                 main.followRoster(renamed);
                             },
                             &main);
                         if (!promote.reload())
                             return;
                         centreOnScreen(&promote);
                         promote.exec();
                     });
    if (backups)
        menu->insertSeparator(backups);
}

} // namespace quorvel
