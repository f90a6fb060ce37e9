#pragma once

#include "sources/OpmlReader.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <vector>

namespace pw::sources {

// An OPML 2.0 document of the outlines, in UTF-8: a feed as type="rss" with xmlUrl (and
// htmlUrl when known), a page as type="link" with url. Title and text both carry the
// outline's title.
QByteArray WriteOpml(const QString& title, const std::vector<OpmlOutline>& outlines,
                     const QDateTime& created);

} // namespace pw::sources
