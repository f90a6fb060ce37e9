#pragma once

#include <QByteArray>
#include <QByteArrayView>

// Cutting received bytes into lines, and the editing of a line typed at a terminal;
// no I/O, so both can be fuzzed.
namespace pw::net::lines {

// The position just behind the first complete lineEnd found at or after from, or -1.
// An empty lineEnd is never found.
qsizetype FindLineEnd(QByteArrayView data, qsizetype from, QByteArrayView lineEnd);

// The next line at the front of buffered bytes, of which the first scanned were searched
// before without a complete terminator. A line ends behind its terminator, or after limit
// bytes (limit > 0) whatever the terminator, so the lines are the same however the bytes
// arrived. Length 0: no line yet, and Scanned is what to pass next time.
struct Cut {
    qsizetype Length = 0;
    qsizetype Scanned = 0;
};
Cut NextLine(QByteArrayView buffered, qsizetype scanned, QByteArrayView lineEnd, qsizetype limit);

// Edits text from start on: a backspace (8) removes the byte before it (never one before
// the start of text), a tab (9) becomes 1 to 8 blanks up to the next multiple of 8 from
// the start of text. Returns what a terminal echo sends back: the kept bytes, the blanks
// of a tab, and backspace-blank-backspace for every removed byte.
QByteArray EditReceived(QByteArray& text, qsizetype start);

} // namespace pw::net::lines
