#pragma once

#include "platform/DesktopNotifications.h"

#include <QSet>
#include <QStringList>

namespace pw::app {

class TForm1;

// Tells the user about the new strips of an update batch that ran while the main window
// was not in front: one desktop notification per batch, whose click brings the window
// back showing the first comic that got a new strip.
class NewStripsNotifier {
public:
    explicit NewStripsNotifier(TForm1& form);

    void StripArrived(const QString& comicName);
    // The batch is over: notify when it brought anything, the window is not the active
    // one and [Updates] NotifyNewStrips (default on) allows it.
    void BatchFinished();

    // "3 new strips: Alpha, Beta, Gamma"; at most five names, then "and N more".
    static QString Text(int strips, const QStringList& comics);

private:
    bool WindowInFront() const;

    TForm1& form_;
    platform::DesktopNotifications notifications_;
    QStringList comics_; // in the order their first new strip arrived
    QSet<QString> seen_; // the same names, to look them up
    int strips_ = 0;
};

} // namespace pw::app
