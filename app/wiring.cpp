#include "app/wiring.h"

#include "exchange/browsedialog.h"
#include "exchange/calloverview.h"
#include "exchange/importdialog.h"
#include "rollcall/backupwindow.h"
#include "widgets/geometry.h"
#include "rollcall/classroom.h"
#include "rollcall/mainwindow.h"
#include "store/error.h"
#include "store/store.h"

namespace quorvel {

void connectDialogs(MainWindow &main, store::Store &store, const Services &services)
{
    DialogHooks hooks;
    hooks.openImport = [&main, &store, services] {
        ImportDialog drxs(store, services, [&main] { main.loadlists(); }, &main);
        centreOnScreen(&drxs);
        drxs.exec();
    };
    hooks.openBrowser = [&main, &store, services] {
        BrowseDialog browsj(store, services, main.gradeChoices(), main.classChoices(), &main);
        centreOnScreen(&browsj);
        browsj.exec();
    };
    hooks.restoreDamaged = [&store, services](const QString &why) {
        return offerBackupForDamagedFile(store.databasePath(), services, why);
    };
    main.setDialogHooks(std::move(hooks));
}

void connectCallOverview(MainWindow &main, Classroom &classroom, store::Store &store,
                         const Services &services, QSettings &settings)
{
    classroom.setCallOverviewOpener(
        [&main, &store, services, &settings](const CallOverviewRequest &request) {
            CallOverviewDialog overview(store, services, settings, request.grade,
                                        request.className, request.lost, &main);
            centreOnScreen(&overview);
            overview.exec();
        });
}

} // namespace quorvel
