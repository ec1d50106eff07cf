#pragma once

// Small helpers shared by the benchmark programs: timing, order statistics
// and the process's memory figures from /proc.

#include "widgets/fonts.h"
#include "store/error.h"

#include <QApplication>
#include <QWidget>
#include <QByteArray>
#include <QtGlobal>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <malloc.h>
#include <sys/resource.h>
#include <string>
#include <vector>

namespace quorvel::bench {

// A control of a window by its object name; a missing one ends the benchmark.
template <typename T>
T *child(QWidget &w, const char *name)
{
    T *found = w.findChild<T *>(QLatin1String(name));
    if (!found)
        throw std::runtime_error(std::string("no control named ") + name);
    return found;
}

using Clock = std::chrono::steady_clock;

inline double millisecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

inline double microsecondsBetween(Clock::time_point from, Clock::time_point to)
{
    return std::chrono::duration<double, std::micro>(to - from).count();
}

// Runs f once and returns how long it took, in milliseconds.
template <typename F>
double timeMs(F &&f)
{
    const auto start = Clock::now();
    f();
    return millisecondsSince(start);
}

// The value below which the fraction p of the samples lie (nearest rank).
inline double percentile(std::vector<double> samples, double p)
{
    if (samples.empty())
        return 0.0;
    std::sort(samples.begin(), samples.end());
    const auto rank = static_cast<std::size_t>(std::ceil(p * static_cast<double>(samples.size())));
    return samples[std::min(samples.size(), std::max<std::size_t>(rank, 1)) - 1];
}

inline double median(const std::vector<double> &samples)
{
    if (samples.empty())
        return 0.0;
    std::vector<double> s = samples;
    std::sort(s.begin(), s.end());
    const std::size_t n = s.size();
    return n % 2 ? s[n / 2] : (s[n / 2 - 1] + s[n / 2]) / 2.0;
}

inline double minimum(const std::vector<double> &s)
{
    return s.empty() ? 0.0 : *std::min_element(s.begin(), s.end());
}

inline double maximum(const std::vector<double> &s)
{
    return s.empty() ? 0.0 : *std::max_element(s.begin(), s.end());
}

inline double mean(const std::vector<double> &s)
{
    double sum = 0.0;
    for (double v : s)
        sum += v;
    return s.empty() ? 0.0 : sum / static_cast<double>(s.size());
}

// Minor page faults of the process so far: fresh memory being touched.
inline long minorFaults()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_minflt;
}

// One "Vm...:  1234 kB" line of /proc/self/status, in MiB; -1 when missing.
inline double statusMiB(const std::string &field)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    const std::string prefix = field + ":";
    while (std::getline(status, line)) {
        if (line.compare(0, prefix.size(), prefix) != 0)
            continue;
        const double kib = std::strtod(line.c_str() + prefix.size(), nullptr);
        return kib / 1024.0;
    }
    return -1.0;
}

// Bytes the allocator has handed out and not taken back, in MiB.
inline double heapInUseMiB()
{
    return static_cast<double>(mallinfo2().uordblks) / (1024.0 * 1024.0);
}

inline double peakMiB() { return statusMiB("VmHWM"); }
inline double residentMiB() { return statusMiB("VmRSS"); }

// Lowers the peak-RSS mark to the current RSS, so that a later peak belongs
// to the work done after this call. False when the kernel refused.
inline bool resetPeak()
{
    std::ofstream clear("/proc/self/clear_refs");
    clear << "5";
    clear.flush();
    return static_cast<bool>(clear);
}

// Headless unless the caller chose a platform.
inline void preferOffscreen()
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", QByteArrayLiteral("offscreen"));
}


// Runs a benchmark body in a headless application; failures end it with status 1.
inline int runInApplication(int argc, char *argv[], int (*body)())
{
    preferOffscreen();
    QApplication app(argc, argv);
    QApplication::setFont(chineseFont(10.5));
    try {
        return body();
    } catch (const store::DbError &e) {
        std::fprintf(stderr, "database failure: %s\n", e.what());
    } catch (const std::exception &e) {
        std::fprintf(stderr, "failure: %s\n", e.what());
    }
    return 1;
}

} // namespace quorvel::bench
