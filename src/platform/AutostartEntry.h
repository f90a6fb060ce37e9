#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

namespace pw::platform {

// A value of the "Run" or "RunOnce" registry key as an XDG autostart desktop entry: one
// file per value, its Exec line the value's command (a quoted program path), our own
// keys naming the value and marking "RunOnce". Pure functions over bytes.
struct AutostartEntry {
    // The entry's file name for a value: letters, digits and "_" kept (ASCII letters in
    // lower case, as value names ignore case), every other byte of the UTF-8 name as
    // "-xx", then "-autostart" for "Run" and "-runonce" for "RunOnce".
    static QString FileName(const QString& valueName, bool runOnce);

    // The entry for a value whose data is a command line: a program path, quoted or not.
    static QByteArray Format(const QString& valueName, const QString& data, bool runOnce);

    // The value's data ("\"path\"") when the bytes are our entry for that value (names
    // compared without case) of that kind; nullopt for anything else.
    static std::optional<QString> Data(const QByteArray& entry, const QString& valueName, bool runOnce);

    // Whether the desktop's session settings switched the entry off, the way Xfce, LXQt,
    // MATE, Cinnamon and older GNOME do in the user's copy: "Hidden=true",
    // "X-GNOME-Autostart-enabled=false" or "X-MATE-Autostart-enabled=false".
    static bool SwitchedOff(const QByteArray& entry);

    // Our entry starting the program of data, switched on: the Exec line is the new
    // command, the keys that switch it off have their enabled values, and every other
    // line (what the desktop added) stays as it is.
    static QByteArray Updated(const QByteArray& entry, const QString& data);

    // Quoted for the Exec key of a desktop entry: a path with spaces stays one argument,
    // the backslash, quote, dollar and backquote are escaped twice and a percent sign doubled.
    static QString ExecValue(const QString& program);
    // The program of an Exec value; nullopt when the quoting is broken.
    static std::optional<QString> ExecProgram(const QString& execValue);
};

} // namespace pw::platform
