#pragma once

#include <QByteArray>

namespace pw::app {

// The GIF data of the three notices and the program icon, compiled into the program.
struct NoticePictures {
    QByteArray EndOfStrips;
    QByteArray EndOfComics;
    QByteArray NoUnread;

    static NoticePictures Load();
    static const char* IconPath();
};

} // namespace pw::app
