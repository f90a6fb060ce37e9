#include "app/NoticePictures.h"

#include <QFile>

#ifdef PANELWICK_HAVE_RESOURCES
// Q_INIT_RESOURCE must run outside any namespace.
static void InitPanelwickResources()
{
    Q_INIT_RESOURCE(panelwick);
}
#else
static void InitPanelwickResources() {}
#endif

namespace pw::app {

namespace {
QByteArray ReadAll(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {}; // decodes to no picture; navigation still works
    return f.readAll();
}
} // namespace

NoticePictures NoticePictures::Load()
{
    InitPanelwickResources();
    return {ReadAll(QStringLiteral(":/notices/end-of-strips.gif")),
            ReadAll(QStringLiteral(":/notices/end-of-comics.gif")),
            ReadAll(QStringLiteral(":/notices/no-unread.gif"))};
}

const char* NoticePictures::IconPath()
{
    InitPanelwickResources();
    return ":/icons/panelwick.png";
}

} // namespace pw::app
