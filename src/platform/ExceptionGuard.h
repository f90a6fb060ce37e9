#pragma once

#include <exception>
#include <utility>

namespace pw::platform {

// Hands an exception that reached the event loop to the default error box.
void ReportUnhandled(std::exception_ptr error) noexcept;

// Runs f; any exception ends here and is shown by the default error box. Every entry
// from the event loop into our code goes through this, so no exception crosses the loop.
template <class F> void Guarded(F&& f) noexcept
{
    try {
        std::forward<F>(f)();
    } catch (...) {
        ReportUnhandled(std::current_exception());
    }
}

} // namespace pw::platform
