// A reader program that misbehaves on purpose, for the import tests. The
// "workbook" it is given holds one word saying how:
//   crash    sends the start of a sheet, then kills itself
//   hang     sends the start of a sheet, then goes silent
//   garbage  sends the start of a sheet, then nonsense

#include <chrono>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <string>
#include <thread>

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
    std::fflush(stdout);
    return 0;
}
