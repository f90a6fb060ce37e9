#pragma once

#include <QString>

namespace pw::update {

// What a request that ended before the server answered tells a user adding a comic: a
// plain sentence ("Cannot find the server example.com", "The connection was refused")
// instead of a socket error number. error: the HTTP client's completion error (not 0);
// reason: its text; host: the server asked.
QString ConnectionFailureText(unsigned error, const QString& reason, const QString& host);

} // namespace pw::update
