// Arbitrary bytes as a server's response, cut at arbitrary points, through the HTTP
// client's real receive path: the client's proxy is a loopback peer this target plays
// itself, so every connection (redirects too) stays on this machine. The first bytes
// choose the cuts and the ending.
#include "HttpResponder.h"
#include "net/THttpCli.h"
#include "platform/TextEscapes.h"

#include <QBuffer>
#include <QCoreApplication>
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

using pw::net::THttpCli;

namespace {
QCoreApplication* app = nullptr;
std::unique_ptr<pw::test::HttpResponder> responder;

[[noreturn]] void Broken()
{
    std::abort();
}
} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    app = new QCoreApplication(*argc, *argv);
    responder = std::make_unique<pw::test::HttpResponder>();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 3)
        return 0;
    const uint8_t flags = data[0];
    const int cuts = data[1] % 16;
    data += 2;
    size -= 2;
    std::vector<size_t> pieces;
    for (int i = 0; i < cuts && size > 0; ++i, ++data, --size)
        pieces.push_back(1 + *data);

    THttpCli client;
    client.URL = QStringLiteral("http://fuzz.example/dir/page.html");
    QBuffer stream;
    stream.open(QIODevice::WriteOnly);
    client.ReceiveStream = &stream;
    int done = 0;
    QByteArray delivered;
    client.OnRequestDone = [&](THttpCli*, pw::net::THttpRequest, std::uint16_t) { ++done; };
    client.OnDocData = [&](THttpCli* c, const char* d, qint64 n) {
        if (c->CurrentLine().size() != n)
            Broken();
        delivered.append(d, n);
    };
    int headerLines = 0;
    client.OnHeaderData = [&](THttpCli* c) {
        ++headerLines;
        if ((flags & 0x10) && headerLines == 3)
            c->Abort();
    };
    if (!responder->Begin(client, (flags & 0x01) ? pw::net::THttpRequest::Head : pw::net::THttpRequest::Get))
        Broken(); // the client never connected

    // After a redirect the client comes back: the following pieces are its next response.
    const char* p = reinterpret_cast<const char*>(data);
    size_t left = size;
    for (size_t i = 0; left > 0; ++i) {
        const size_t n = pieces.empty() ? left : std::min(left, pieces[i % pieces.size()]);
        responder->Feed(client, QByteArrayView(p, static_cast<qsizetype>(n)));
        p += n;
        left -= n;
    }
    responder->End((flags & 0x04) != 0);
    responder->EndEverything([&] { return done > 0; });
    if (done != 1 || client.ClientState() != pw::net::THttpState::Ready)
        Broken(); // every request ends, exactly once
    if (stream.data() != delivered || client.BodyBytes() != delivered.size())
        Broken(); // the stream got exactly what was reported
    if (client.ResponseHeader().size() > THttpCli::MaxHeaderLines * (THttpCli::MaxRedirects + 1))
        Broken();
    // A reason phrase as the program shows it holds no control character.
    for (const QChar c : pw::platform::ShowableText(client.ResponseReason())) {
        if (c.unicode() < 0x20 || (c.unicode() >= 0x7f && c.unicode() <= 0x9f))
            Broken();
    }
    return 0;
}
