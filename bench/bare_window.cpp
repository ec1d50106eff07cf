// bare_window: the yardstick of bench_window_map. A plain Qt window of the
// main window's size that, before it shows, opens the database file with its
// key and reads the schema (what any program opening that file pays), or
// nothing with --no-file.
//
//   bare_window FILE | --no-file

#include "store/connection.h"
#include "store/schema.h"

#include <QApplication>
#include <QWidget>

#include <cstdio>
#include <cstring>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: bare_window FILE | --no-file\n");
        return 2;
    }
    if (std::strcmp(argv[1], "--no-file") != 0) {
        try {
            auto conn = quorvel::store::Connection::open(argv[1], quorvel::store::kDatabasePassword);
            quorvel::store::Statement schema(*conn, "SELECT count(*) FROM sqlite_master");
            schema.step();
        } catch (const std::exception &e) {
            std::fprintf(stderr, "bare_window: %s\n", e.what());
            return 1;
        }
    }
    QWidget window;
    window.setWindowTitle(QStringLiteral("bare"));
    window.resize(771, 587);
    window.show();
    return app.exec();
}
