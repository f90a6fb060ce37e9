#pragma once

#include <QString>
#include <functional>

class QDialog;

namespace pw::app {

// What adding a comic asks of the program; set by the main window for the Add comic
// dialog, wherever that is opened from.
struct TComicAdding {
    // The name of the comic that holds this name already, letter case aside (names are
    // keys of the configuration file, which matches keys so); empty when it is free.
    std::function<QString(const QString& name)> NameHolder;
    // The name of the comic already followed at this address; empty when none is.
    std::function<QString(const QString& address)> FollowedAs;
    std::function<bool(const QString& name)> IsUserComic;
    // Puts the comic into the catalogue and chooses it; false with *error when it cannot.
    std::function<bool(const QString& name, const QString& address, QString* error)> Add;
    // The settings dialog's changes, made when it closes with OK: into the catalogue without
    // choosing it (the dialog writes the choice), out of it (its strips stay), renamed and
    // readdressed with everything named after it. False with *error when it cannot.
    std::function<bool(const QString& name, const QString& address, QString* error)> Append;
    std::function<bool(const QString& name, QString* error)> Remove;
    std::function<bool(const QString& oldName, const QString& newName, const QString& address,
                       QString* error)>
        Edit;
    std::function<bool(QDialog& dialog)> RunModal; // empty: exec()
};

} // namespace pw::app
