#pragma once

#include <exception>
#include <utility>

namespace pw::platform {

// Hands an exception that reached the event loop to the default error box.
void ReportUnhandled(std::exception_ptr error) noexcept;

// Runs f; any exception ends here and is shown by the default error box. Every entry
// from the event loop into our code goes through this, so no exception crosses the loop.
//
// What a handler that raised leaves behind; every handler follows these rules:
// - An event the handler takes is taken whether it succeeded or not. Decide first that
//   the event is ours (a key, a message), then run the work under the guard and report
//   the event handled: a failure never lets the same event travel on and be handled twice.
// - The steps a handler has already done stay done, and nothing is rolled back by the
//   guard; so a handler changes state in the order the user sees it (the comic chosen,
//   then its strip drawn), and a step that can fail comes after the bookkeeping that must
//   not be skipped (a finished job leaves its slot; settings are applied before a strip
//   is drawn).
// - Steps that do not depend on each other each get their own guard: a strip that
//   cannot be drawn at start-up must not cancel the start-up update.
// - One fault, one box. The guard shows it; code that catches only to tidy up rethrows,
//   and a repeat of a fault already reported (the same strip drawn again by a timer or a
//   resize) stays quiet.
template <class F> void Guarded(F&& f) noexcept
{
    try {
        std::forward<F>(f)();
    } catch (...) {
        ReportUnhandled(std::current_exception());
    }
}

} // namespace pw::platform
