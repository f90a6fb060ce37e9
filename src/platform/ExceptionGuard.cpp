#include "ExceptionGuard.h"

#include "Exception.h"
#include "MessageBoxService.h"

#include <QString>

namespace pw::platform {

void ReportUnhandled(std::exception_ptr error) noexcept
{
    try {
        try {
            std::rethrow_exception(error);
        } catch (const Exception& e) {
            MessageBoxService::Error(e.Message());
        } catch (const std::exception& e) {
            MessageBoxService::Error(QString::fromLocal8Bit(e.what()));
        } catch (...) {
            MessageBoxService::Error(QStringLiteral("Unknown error"));
        }
    } catch (...) {
        // The error box itself failed; nothing sensible is left to do.
    }
}

} // namespace pw::platform
