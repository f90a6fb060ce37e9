#pragma once

#include "platform/DesktopNotifications.h"

#include <QHash>
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

    // `title` is the strip's own title, empty when its source gave none.
    void StripArrived(const QString& comicName, const QString& title = {});
    // The batch is over: notify when it brought anything, the window is not the active
    // one and [Updates] NotifyNewStrips (default on) allows it.
    void BatchFinished();

    // "3 new strips: Alpha, Beta \u2013 Rain, Gamma"; at most five names, then "and N more".
    // A comic's newest title follows its name.
    static QString Text(int strips, const QStringList& comics, const QHash<QString, QString>& titles = {});

private:
    bool WindowInFront() const;

    TForm1& form_;
    platform::DesktopNotifications notifications_;
    QStringList comics_; // in the order their first new strip arrived
    QSet<QString> seen_; // the same names, to look them up
    QHash<QString, QString> titles_;
    int strips_ = 0;
};

} // namespace pw::app
