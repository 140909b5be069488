#include "platform/clock.h"

#include <cmath>
#include <ctime>
#include <sched.h>

namespace {

int64_t raw_usec()
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return int64_t(ts.tv_sec) * 1000000 + ts.tv_nsec / 1000;
}

int64_t start_usec()
{
    static const int64_t start = raw_usec();
    return start;
}

}  // namespace

ClockTime clock_now()
{
    int64_t us = raw_usec();
    return ClockTime{us / 1000000, int32_t(us % 1000000)};
}

double clock_seconds(ClockTime t)
{
    return double(t.sec) + double(t.usec) * 1e-6;
}

ClockTime clock_from_seconds(double s)
{
    double whole = std::floor(s);
    int32_t usec = int32_t((s - whole) * 1e6);
    if (usec >= 1000000) {
        usec -= 1000000;
        whole += 1;
    }
    return ClockTime{int64_t(whole), usec};
}

int clock_compare(ClockTime a, ClockTime b)
{
    if (a.sec != b.sec)
        return a.sec < b.sec ? -1 : 1;
    if (a.usec != b.usec)
        return a.usec < b.usec ? -1 : 1;
    return 0;
}

int64_t clock_ms_since_start()
{
    return (raw_usec() - start_usec()) / 1000;
}

void sleep_for(int64_t sec, int32_t usec)
{
    int64_t total = sec * 1000000 + usec;
    if (total <= 0)
        return;
    int64_t target = raw_usec() + total;
    int64_t coarse = total - 1000;
    if (coarse > 0) {
        timespec ts{time_t(coarse / 1000000), long(coarse % 1000000) * 1000};
        nanosleep(&ts, nullptr);
    }
    while (raw_usec() < target)
        sched_yield();
}
