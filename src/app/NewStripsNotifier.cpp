#include "app/NewStripsNotifier.h"

#include "app/DesktopIntegration.h"
#include "app/TForm1.h"
#include "platform/IniFile.h"
#include "platform/TextEscapes.h"

#include <utility>

namespace pw::app {

namespace {
constexpr int kNamesShown = 5;
constexpr int kNameChars = 40; // a catalogue name can be any length; a notice is a line or two

QString Shortened(const QString& comicName)
{
    const QString name = platform::ShowableText(comicName);
    return name.size() <= kNameChars ? name : name.left(kNameChars - 1) + QChar(0x2026);
}
} // namespace

NewStripsNotifier::NewStripsNotifier(TForm1& form) : form_(form) {}

QString NewStripsNotifier::Text(int strips, const QStringList& comics, const QHash<QString, QString>& titles)
{
    QString text =
        strips == 1 ? QStringLiteral("1 new strip: ") : QStringLiteral("%1 new strips: ").arg(strips);
    QStringList names;
    for (const QString& name : comics.mid(0, kNamesShown)) {
        const QString title = titles.value(name);
        names << (title.isEmpty() ? Shortened(name)
                                  : Shortened(name) + QStringLiteral(" \u2013 ") + Shortened(title));
    }
    text += names.join(QStringLiteral(", "));
    if (comics.size() > kNamesShown)
        text += QStringLiteral(" and %1 more").arg(comics.size() - kNamesShown);
    return text;
}

void NewStripsNotifier::StripArrived(const QString& comicName, const QString& title)
{
    ++strips_;
    if (!title.isEmpty())
        titles_.insert(comicName, title);
    if (!seen_.contains(comicName)) {
        seen_.insert(comicName);
        comics_ << comicName;
    }
}

bool NewStripsNotifier::WindowInFront() const
{
    return form_.isVisible() && !form_.isMinimized() && form_.isActiveWindow();
}

void NewStripsNotifier::BatchFinished()
{
    const QStringList comics = std::exchange(comics_, {});
    seen_.clear();
    const QHash<QString, QString> titles = std::exchange(titles_, {});
    const int strips = std::exchange(strips_, 0);
    if (strips == 0 || WindowInFront())
        return;
    if (!form_.Ini().ReadBool(QStringLiteral("Updates"), QStringLiteral("NotifyNewStrips"), true))
        return;
    const QString first = comics.front();
    const QString text = Text(strips, comics, titles);
    TForm1* form = &form_;
    auto clicked = [form, first] { form->RestoreShowing(first); };
    // Without a notification service the tray icon says it.
    notifications_.Notify(QStringLiteral("Panelwick"), text, clicked, [form, text, clicked] {
        form->Desktop().ShowTrayMessage(QStringLiteral("Panelwick"), text, clicked);
    });
}

} // namespace pw::app
