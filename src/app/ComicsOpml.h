#pragma once

#include <QString>
#include <QStringList>

namespace pw::platform {
class TIniFile;
}
namespace pw::comics {
class TComicsList;
}

namespace pw::app {

// What an import of an outline list did.
struct TOpmlImport {
    QString FileError;           // why the file could not be used (nothing imported); empty when it could
    QStringList Imported;        // the new comics' names
    QStringList AlreadyFollowed; // "Title (as Name)"
    QStringList Refused;         // "Title (reason)"

    // "Imported 12 comics; 2 were already followed; 1 refused: Title (reason)."
    QString Text() const;
};

// Comics to and from OPML, the outline lists feed readers exchange.
class ComicsOpml {
public:
    // Every feed of the file (and every page outline) becomes a comic of the user's own
    // catalogue, named after its title as added comics are, chosen; the catalogue gets the
    // new entries. Addresses followed already and unusable entries are passed over with a
    // reason. Nothing is asked of the network. The user's catalogue is written once.
    static TOpmlImport Import(const QString& file, comics::TComicsList& catalogue,
                              const QString& userCataloguePath, platform::TIniFile& ini);

    // The comics as OPML 2.0, written through a temporary file: a comic whose page links a
    // feed, and every address that is not a page of the built-in site, as a feed.
    static bool Export(const QString& file, const comics::TComicsList& comics, const QString& comicsDir,
                       QString* error);
};

} // namespace pw::app
