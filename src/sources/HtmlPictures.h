#pragma once

#include "sources/PictureChoice.h"

#include <QString>
#include <QStringView>
#include <vector>

namespace pw::sources {

// Every <img> of an HTML text as a candidate picture, in document order, with what the
// tag declares: its size (attributes or inline style, in pixels), an image map, the link
// around it, its id, class, alt and title. Lazy-loading pages keep the real address in
// data-src and friends; that one is taken. Addresses resolve against base; pictures
// without a web address are left out; at most limit are taken.
std::vector<PictureCandidate> ImagesIn(QStringView html, const QString& base, std::size_t limit = 1000);

} // namespace pw::sources
