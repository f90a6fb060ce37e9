// Arbitrary bytes as a SOCKS proxy's reply, the way they arrive: every prefix is parsed,
// as the socket does after each read. The first byte chooses the reply kind.
#include "net/SocksProtocol.h"

#include <cstddef>
#include <cstdint>

namespace socks = pw::net::socks;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1 || size > 400)
        return 0;
    const int kind = data[0] % 4;
    const QByteArrayView reply(reinterpret_cast<const char*>(data) + 1, static_cast<qsizetype>(size) - 1);
    const auto parse = [kind](QByteArrayView bytes) {
        switch (kind) {
        case 0:
            return socks::ParseMethodReply(bytes);
        case 1:
            return socks::ParseAuthReply(bytes);
        case 2:
            return socks::ParseSocks4Reply(bytes);
        default:
            return socks::ParseSocks5Reply(bytes);
        }
    };
    socks::Reply first; // the first answer that is not NeedMore
    for (qsizetype n = 0; n <= reply.size(); ++n) {
        const socks::Reply r = parse(reply.first(n));
        if (r.status == socks::Reply::Complete && (r.Length < 2 || r.Length > n))
            __builtin_trap();
        if (r.status == socks::Reply::Failed && (r.Error < 20001 || r.Error > 20017 || r.Msg.isEmpty()))
            __builtin_trap();
        if (first.status == socks::Reply::NeedMore) {
            first = r;
            continue;
        }
        // Connect replies: bytes behind a complete reply are data and change nothing;
        // a failure stays the same failure however much more arrives.
        if (first.status == socks::Reply::Failed || kind >= 2) {
            if (r.status != first.status || r.Length != first.Length || r.Error != first.Error)
                __builtin_trap();
        }
    }
    return 0;
}
