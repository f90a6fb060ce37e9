#pragma once

#include <QString>
#include <functional>

namespace pw::comics {

// The rules a comic's name must pass before it enters the catalogue: it becomes a
// folder, a file-name prefix, a configuration key and a catalogue line. Not empty, at
// most 64 characters, no path separator, no leading dot, no control character (TAB
// and line breaks included), no "=", "[" or "]", no blank at either end, not another key
// of the configuration file's [Comics] section. Sets *why when it fails.
bool IsAcceptableComicName(const QString& name, QString* why = nullptr);

// A name made from a title a site gives (a feed's or page's): what breaks a rule
// becomes a blank, blanks are folded, leading dots and blanks dropped, and the rest cut
// to 64 characters. Empty when nothing usable is left.
QString ComicNameFromTitle(const QString& title);

// A proposed name made free: proposed itself when taken(proposed) is false, else the
// first of "proposed (2)", "proposed (3)"... that is free, cut so that it stays a name.
QString FreeComicName(const QString& proposed, const std::function<bool(const QString&)>& taken);

// Why a name cannot be added: holder, the comic's name that equals it (perhaps in
// another letter case), is in the catalogue already.
QString NameInUseText(const QString& holder, const QString& name);

} // namespace pw::comics
