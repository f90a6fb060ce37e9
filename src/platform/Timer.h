#pragma once

#include <QObject>
#include <functional>

class QTimer;

namespace pw::platform {

// A window timer: fires every Interval ms while enabled. Changing Enabled or Interval
// restarts the count. The handler runs behind the exception guard.
class Timer : public QObject {
    Q_OBJECT
public:
    explicit Timer(QObject* parent = nullptr);

    bool Enabled() const { return enabled_; }
    void SetEnabled(bool enabled);
    int Interval() const { return interval_; }
    void SetInterval(int ms);

    std::function<void()> OnTimer;

private:
    void Restart();

    QTimer* timer_;
    bool enabled_ = false;
    int interval_ = 1000;
};

} // namespace pw::platform
