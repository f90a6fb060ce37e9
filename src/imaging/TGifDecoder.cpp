#include "imaging/TGifDecoder.h"

#include "imaging/ImageLimits.h"

#include <gif_lib.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <exception>
#include <memory>

namespace pw::imaging {

namespace {

constexpr QRgb kBackground = 0xffffffffu; // white: transparent pixels and uncovered screen

struct MemoryReader {
    const GifByteType* data = nullptr;
    int size = 0;
    int pos = 0;
};

int ReadFromMemory(GifFileType* gif, GifByteType* out, int wanted)
{
    auto* reader = static_cast<MemoryReader*>(gif->UserData);
    if (wanted <= 0)
        return 0;
    const int n = std::min(wanted, reader->size - reader->pos);
    if (n <= 0)
        return 0;
    std::memcpy(out, reader->data + reader->pos, static_cast<size_t>(n));
    reader->pos += n;
    return n;
}

struct GifCloser {
    void operator()(GifFileType* gif) const
    {
        int error = 0;
        DGifCloseFile(gif, &error);
    }
};
using GifPtr = std::unique_ptr<GifFileType, GifCloser>;

// Reads one extension record; remembers the transparent index of a graphic control block.
bool SkipExtension(GifFileType* gif, int& transparentIndex)
{
    int code = 0;
    GifByteType* block = nullptr;
    if (DGifGetExtension(gif, &code, &block) == GIF_ERROR)
        return false;
    if (code == GRAPHICS_EXT_FUNC_CODE && block != nullptr) {
        GraphicsControlBlock gcb{};
        if (DGifExtensionToGCB(block[0], block + 1, &gcb) == GIF_OK)
            transparentIndex = gcb.TransparentColor;
    }
    while (block != nullptr) {
        if (DGifGetExtensionNext(gif, &block) == GIF_ERROR)
            return false;
    }
    return true;
}

// Row of the picture that the n-th line of an interlaced frame belongs to.
int InterlacedRow(int n, int height)
{
    static constexpr std::array<int, 4> kStart{0, 4, 2, 1};
    static constexpr std::array<int, 4> kStep{8, 8, 4, 2};
    for (size_t pass = 0; pass < kStart.size(); ++pass) {
        const int rows = kStart[pass] < height ? (height - kStart[pass] + kStep[pass] - 1) / kStep[pass] : 0;
        if (n < rows)
            return kStart[pass] + n * kStep[pass];
        n -= rows;
    }
    return -1;
}

// Paints the part of the screen the frame leaves uncovered: with the palette's white
// where it has one, else on a 32-bit copy.
void FillRect(QImage& image, int white, int x, int y, int w, int h)
{
    for (int row = y; row < y + h; ++row) {
        if (image.format() == QImage::Format_Indexed8) {
            uchar* line = image.scanLine(row);
            std::fill(line + x, line + x + w, static_cast<uchar>(white));
        } else {
            auto* line = reinterpret_cast<QRgb*>(image.scanLine(row));
            std::fill(line + x, line + x + w, kBackground);
        }
    }
}

QImage DecodeFirstFrame(GifFileType* gif)
{
    int transparentIndex = NO_TRANSPARENT_COLOR;
    for (;;) {
        GifRecordType record = UNDEFINED_RECORD_TYPE;
        if (DGifGetRecordType(gif, &record) == GIF_ERROR)
            return {};
        if (record == EXTENSION_RECORD_TYPE) {
            if (!SkipExtension(gif, transparentIndex))
                return {};
            continue;
        }
        if (record != IMAGE_DESC_RECORD_TYPE)
            return {}; // the trailer (or garbage) before any frame: nothing to show
        break;
    }
    if (DGifGetImageDesc(gif) == GIF_ERROR)
        return {};

    const GifImageDesc& desc = gif->Image;
    const ColorMapObject* map = desc.ColorMap != nullptr ? desc.ColorMap : gif->SColorMap;
    if (map == nullptr || map->Colors == nullptr || desc.Width <= 0 || desc.Height <= 0 || desc.Left < 0 ||
        desc.Top < 0)
        return {};
    // Some encoders write a screen smaller than the frame; grow the canvas rather than
    // cutting the strip.
    const std::int64_t width = std::max<std::int64_t>(gif->SWidth, std::int64_t{desc.Left} + desc.Width);
    const std::int64_t height = std::max<std::int64_t>(gif->SHeight, std::int64_t{desc.Top} + desc.Height);
    if (!ImageSizeAllowed(width, height))
        return {};

    std::array<QRgb, 256> palette{};
    palette.fill(kBackground); // indices past a short colour map count as transparent
    for (int i = 0; i < std::min(map->ColorCount, 256); ++i) {
        const GifColorType& c = map->Colors[i];
        palette[static_cast<size_t>(i)] = qRgb(c.Red, c.Green, c.Blue);
    }
    if (transparentIndex >= 0 && transparentIndex < 256)
        palette[static_cast<size_t>(transparentIndex)] = kBackground;

    // A GIF frame has at most 256 colours: kept as they are, the picture is a quarter of
    // its 32-bit size, and the window holds it for as long as the strip is shown. Pages of
    // the canvas are touched only as rows arrive, so a huge frame whose data is cut short
    // costs little.
    QImage canvas(static_cast<int>(width), static_cast<int>(height), QImage::Format_Indexed8);
    if (canvas.isNull())
        return {};
    canvas.setColorTable(QList<QRgb>(palette.begin(), palette.end()));
    for (int n = 0; n < desc.Height; ++n) {
        const int row = desc.Interlace ? InterlacedRow(n, desc.Height) : n;
        if (DGifGetLine(gif, canvas.scanLine(desc.Top + row) + desc.Left, desc.Width) == GIF_ERROR)
            return {};
    }
    const int w = static_cast<int>(width);
    const int h = static_cast<int>(height);
    if (w == desc.Width && h == desc.Height)
        return canvas;
    const auto white = std::find(palette.begin(), palette.end(), kBackground);
    if (white == palette.end())
        canvas = canvas.convertToFormat(QImage::Format_RGB32);
    const int whiteIndex = static_cast<int>(white - palette.begin());
    FillRect(canvas, whiteIndex, 0, 0, w, desc.Top);
    FillRect(canvas, whiteIndex, 0, desc.Top + desc.Height, w, h - desc.Top - desc.Height);
    FillRect(canvas, whiteIndex, 0, desc.Top, desc.Left, desc.Height);
    FillRect(canvas, whiteIndex, desc.Left + desc.Width, desc.Top, w - desc.Left - desc.Width, desc.Height);
    return canvas;
}

} // namespace

QImage TGifDecoder::GetGIFBuffer(const QByteArray& data)
{
    try {
        MemoryReader reader{reinterpret_cast<const GifByteType*>(data.constData()),
                            static_cast<int>(std::min<qsizetype>(data.size(), kMaxImageFileBytes)), 0};
        int error = 0;
        GifPtr gif(DGifOpen(&reader, &ReadFromMemory, &error));
        if (!gif)
            return {};
        return DecodeFirstFrame(gif.get());
    } catch (const std::exception&) {
        return {}; // out of memory while building the picture: no bitmap
    }
}

QImage TGifDecoder::GetGIFFile(const QString& path)
{
    try {
        QByteArray data;
        QString error;
        if (!ReadImageFile(path, data, error))
            return {};
        return GetGIFBuffer(data);
    } catch (const std::exception&) {
        return {};
    }
}

} // namespace pw::imaging
