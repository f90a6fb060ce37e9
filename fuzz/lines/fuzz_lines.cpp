// Arbitrary bytes cut into lines as the line-mode socket does, arriving in arbitrary
// pieces: the lines must be those of the bytes taken at once, and lose nothing. Then
// the same bytes edited as terminal input.
#include "net/LineSplitting.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace lines = pw::net::lines;

namespace {

// Lines of data taken whole; the rest (no terminator yet) goes to rest.
std::vector<QByteArray> Split(QByteArrayView data, QByteArrayView lineEnd, qsizetype limit, QByteArray& rest)
{
    std::vector<QByteArray> out;
    qsizetype at = 0;
    for (;;) {
        const lines::Cut cut = lines::NextLine(data.sliced(at), 0, lineEnd, limit);
        if (cut.Length == 0)
            break;
        out.emplace_back(data.sliced(at, cut.Length).toByteArray());
        at += cut.Length;
    }
    rest = data.sliced(at).toByteArray();
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 4 || size > 4096)
        return 0;
    const qsizetype endLength = data[0] % 4; // 0: no terminator at all
    const qsizetype limit = data[1] % 32;    // 0: no limit
    const uint8_t pieceSeed = data[2];
    if (size < static_cast<size_t>(3 + endLength))
        return 0;
    const QByteArray lineEnd(reinterpret_cast<const char*>(data) + 3, endLength);
    const QByteArrayView input(reinterpret_cast<const char*>(data) + 3 + endLength,
                               static_cast<qsizetype>(size) - 3 - endLength);

    QByteArray wholeRest;
    const std::vector<QByteArray> whole = Split(input, lineEnd, limit, wholeRest);

    // Piece by piece, searching only what is new, as the socket's buffer does.
    std::vector<QByteArray> pieces;
    QByteArray buffer;
    qsizetype scanned = 0;
    qsizetype at = 0;
    for (unsigned step = pieceSeed; at < input.size(); step = step * 73 + 11) {
        const qsizetype n = std::min<qsizetype>(1 + step % 7, input.size() - at);
        buffer.append(input.sliced(at, n));
        at += n;
        for (;;) {
            const lines::Cut cut = lines::NextLine(buffer, scanned, lineEnd, limit);
            scanned = cut.Scanned;
            if (cut.Length == 0)
                break;
            if (cut.Length > buffer.size() || (limit > 0 && cut.Length > limit))
                __builtin_trap();
            pieces.push_back(buffer.left(cut.Length));
            buffer.remove(0, cut.Length);
        }
    }
    if (pieces != whole || buffer != wholeRest)
        __builtin_trap();
    for (const QByteArray& line : whole)
        if (!line.endsWith(lineEnd) && (limit == 0 || line.size() != limit))
            __builtin_trap();

    // Editing removes at most one earlier byte per backspace and leaves no control byte
    // of its own behind.
    QByteArray text = input.toByteArray();
    const qsizetype start = data[1] % (input.size() + 1);
    const qsizetype backspaces = input.sliced(start).count('\b');
    const QByteArray kept = text.left(std::max<qsizetype>(0, start - backspaces));
    lines::EditReceived(text, start);
    if (!text.startsWith(kept))
        __builtin_trap();
    for (qsizetype i = start; i < text.size(); ++i)
        if (text[i] == '\b' || text[i] == '\t')
            __builtin_trap();
    return 0;
}
