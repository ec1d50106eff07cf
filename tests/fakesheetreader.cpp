// A reader program that misbehaves on purpose, for the import tests. The
// "workbook" it is given holds one word saying how:
//   crash    sends the start of a sheet, then kills itself
//   hang     sends the start of a sheet, then goes silent
//   garbage  sends the start of a sheet, then nonsense
//   eat      sends the start of a sheet, then rows, taking ever more memory
//   trickle  sends the start of a sheet, then one row every 100 ms, forever

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

int main(int argc, char *argv[])
{
    if (argc != 2)
        return 64;
    std::string how;
    std::ifstream(argv[1]) >> how;
    std::printf("QVSHEET 1\nR 100\n");
    for (int r = 1; r <= 3; ++r)
        std::printf("T 6\n学生\nT 10\n高2013级\nT 4\n1班\n");
    std::fflush(stdout);
    if (how == "crash")
        std::raise(SIGKILL);
    if (how == "hang")
        std::this_thread::sleep_for(std::chrono::seconds(60));
    if (how == "garbage")
        std::printf("T 99999999\nZ\n");
    if (how == "eat") {
        // A row and 8 MiB more, each page written to, up to 2 GiB.
        std::vector<char *> blocks;
        for (int i = 0; i < 256; ++i) {
            blocks.push_back(new char[8 << 20]);
            std::memset(blocks.back(), 1, 8 << 20);
            std::printf("T 6\n学生\nE\nE\n");
            std::fflush(stdout);
        }
        for (char *block : blocks)
            delete[] block;
    }
    for (int i = 0; how == "trickle" && i < 100000; ++i) {
        std::printf("T 6\n学生\nE\nE\n");
        std::fflush(stdout);
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    std::fflush(stdout);
    return 0;
}
