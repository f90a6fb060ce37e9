#pragma once

#include "net/ESocketException.h"

#include <QString>

namespace pw::test {

// Runs f, which must raise ESocketException; returns its message.
template <class F> QString RaisedText(F&& f)
{
    try {
        f();
    } catch (const net::ESocketException& e) {
        return e.Message();
    }
    return QStringLiteral("<nothing raised>");
}

} // namespace pw::test
