#pragma once

#include <QString>

namespace pw::update {

// The main window's progress bar (minimum 0) and progress label, as the update engine
// sees them.
class IProgressDisplay {
public:
    virtual ~IProgressDisplay() = default;
    virtual void SetProgressMaximum(int max) = 0;
    virtual void SetProgressPosition(int position) = 0;
    virtual void SetProgressText(const QString& text) = 0;
    virtual QString ProgressText() const = 0;
};

} // namespace pw::update
