// Arbitrary bytes through every strip decoder (ours and Qt's readers): none may crash,
// leak past its limits or let anything but its own exception out.
#include "imaging/ImageLimits.h"
#include "imaging/TGifDecoder.h"
#include "imaging/TJpegDecoder.h"
#include "imaging/TQtImageDecoder.h"
#include "platform/Exception.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QImage gif = pw::imaging::TGifDecoder::GetGIFBuffer(bytes);
    if (!gif.isNull() && (gif.width() <= 0 || gif.height() <= 0))
        __builtin_trap();
    const QImage other = pw::imaging::TQtImageDecoder::LoadFromBuffer(bytes);
    if (!other.isNull() && !pw::imaging::ImageSizeAllowed(other.width(), other.height()))
        __builtin_trap();
    try {
        const QImage jpeg = pw::imaging::TJpegDecoder::LoadFromBuffer(bytes);
        if (jpeg.isNull())
            __builtin_trap(); // success must mean a picture
    } catch (const pw::platform::Exception&) {
    }
    return 0;
}
