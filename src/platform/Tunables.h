#pragma once

#include <QDateTime>
#include <functional>

namespace pw::platform {

// Durations and the clock that tests (and the demo) shorten or replace; the program
// keeps the values below.
struct Tunables {
    static inline int NoticeMs = 3000;
    static inline int JobTimeoutMs = 60000;
    // A job ends after this many job time-outs whatever still arrives.
    static inline int JobDeadlineFactor = 10;
    static inline qint64 MaxStripBytes = 32 * 1024 * 1024;
    static inline int DailyTickMs = 1000;
    // "&Update Comics" adds its comics for at most this long in one turn of the event
    // loop (one comic at least), so that the window stays responsive for thousands.
    static inline int AddComicsSliceMs = 5;
    static inline std::function<QDateTime()> Now = [] { return QDateTime::currentDateTime(); };

    // Applies PANELWICK_JOB_TIMEOUT_MS when it holds a positive number.
    static void ReadEnvironment();

    // JobDeadlineFactor job time-outs, kept within what a timer takes.
    static int JobDeadlineMs();
};

} // namespace pw::platform
