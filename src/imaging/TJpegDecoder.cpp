#include "imaging/TJpegDecoder.h"

#include "imaging/ImageLimits.h"
#include "platform/Exception.h"

#include <QtEndian>

#include <csetjmp>
#include <cstdio>
#include <cstdlib>

// jpeglib.h needs FILE and size_t declared first.
#include <jerror.h>
#include <jpeglib.h>

namespace pw::imaging {

namespace {

// Decoding runs in C-style steps whose frames hold only trivial objects: libjpeg leaves
// through longjmp, which must not skip any destructor. Everything that lives across a
// setjmp sits in this plain struct owned by the C++ caller.
struct JpegJob {
    jpeg_decompress_struct cinfo;
    jpeg_error_mgr err;
    jpeg_progress_mgr progress;
    std::jmp_buf jump;
    bool created;
    char message[JMSG_LENGTH_MAX];
    JSAMPLE* cmykRow; // scratch line for CMYK pictures, malloc'd
};

JpegJob* JobOf(j_common_ptr cinfo)
{
    return static_cast<JpegJob*>(cinfo->client_data);
}

[[noreturn]] void ErrorExit(j_common_ptr cinfo)
{
    JpegJob* job = JobOf(cinfo);
    (*cinfo->err->format_message)(cinfo, job->message);
    std::longjmp(job->jump, 1);
}

// Warnings that mean the picture is cut short or damaged become errors: a half-grey
// strip is not a successful decode. Harmless ones (extra bytes between markers, odd
// progression) are tolerated. Nothing is printed either way.
void EmitMessage(j_common_ptr cinfo, int level)
{
    if (level >= 0)
        return; // trace messages
    switch (cinfo->err->msg_code) {
    case JWRN_JPEG_EOF:
    case JWRN_HIT_MARKER:
    case JWRN_HUFF_BAD_CODE:
    case JWRN_MUST_RESYNC:
        (*cinfo->err->error_exit)(cinfo);
        break;
    default:
        cinfo->err->num_warnings++;
        break;
    }
}

void OutputMessage(j_common_ptr) {}

// Each scan of a progressive picture costs a pass over the whole picture, and a small
// file can hold thousands of them: one that needs more is refused.
constexpr int kMaxScans = 100;

void CheckProgress(j_common_ptr cinfo)
{
    if (!cinfo->is_decompressor)
        return;
    const auto* d = reinterpret_cast<j_decompress_ptr>(cinfo);
    if (d->input_scan_number > kMaxScans) {
        JpegJob* job = JobOf(cinfo);
        std::snprintf(job->message, sizeof job->message, "the picture has more than %d scans", kMaxScans);
        std::longjmp(job->jump, 1);
    }
}

void Destroy(JpegJob& job)
{
    if (job.created)
        jpeg_destroy_decompress(&job.cinfo);
    job.created = false;
    std::free(job.cmykRow);
    job.cmykRow = nullptr;
}

// Reads the header and picks the output colour space. Returns false with job.message set.
bool ReadHeader(JpegJob& job, const unsigned char* data, unsigned long size)
{
    if (setjmp(job.jump) != 0)
        return false;
    job.cinfo.err = jpeg_std_error(&job.err);
    job.err.error_exit = &ErrorExit;
    job.err.emit_message = &EmitMessage;
    job.err.output_message = &OutputMessage;
    job.cinfo.client_data = &job;
    jpeg_create_decompress(&job.cinfo);
    job.created = true;
    job.progress.progress_monitor = &CheckProgress;
    job.cinfo.progress = &job.progress;
    // Without a backing store this makes libjpeg refuse what would need more.
    job.cinfo.mem->max_memory_to_use = 1024L * 1024L * 1024L;
    jpeg_mem_src(&job.cinfo, data, size);
    jpeg_read_header(&job.cinfo, TRUE);
    if (!ImageSizeAllowed(job.cinfo.image_width, job.cinfo.image_height)) {
        std::snprintf(job.message, sizeof job.message, "picture too large (%u x %u)",
                      static_cast<unsigned>(job.cinfo.image_width),
                      static_cast<unsigned>(job.cinfo.image_height));
        return false;
    }
    if (job.cinfo.jpeg_color_space == JCS_CMYK || job.cinfo.jpeg_color_space == JCS_YCCK) {
        job.cinfo.out_color_space = JCS_CMYK;
    } else {
        // Straight into QImage::Format_RGB32 memory order, alpha byte 0xff.
        job.cinfo.out_color_space = Q_BYTE_ORDER == Q_LITTLE_ENDIAN ? JCS_EXT_BGRA : JCS_EXT_ARGB;
    }
    jpeg_start_decompress(&job.cinfo);
    return true;
}

QRgb CmykToRgb(const JSAMPLE* p, bool inverted)
{
    // Adobe writes CMYK inverted (0 = full ink); others store plain ink amounts.
    int c = p[0], m = p[1], y = p[2], k = p[3];
    if (!inverted) {
        c = 255 - c;
        m = 255 - m;
        y = 255 - y;
        k = 255 - k;
    }
    return qRgb(c * k / 255, m * k / 255, y * k / 255);
}

// Decodes every line into `bits` (the QImage's memory, `stride` bytes a line).
bool ReadPixels(JpegJob& job, unsigned char* bits, qsizetype stride)
{
    if (setjmp(job.jump) != 0)
        return false;
    const bool cmyk = job.cinfo.out_color_space == JCS_CMYK;
    const bool inverted = job.cinfo.saw_Adobe_marker != 0;
    if (cmyk) {
        job.cmykRow = static_cast<JSAMPLE*>(std::malloc(static_cast<size_t>(job.cinfo.output_width) * 4));
        if (job.cmykRow == nullptr) {
            std::snprintf(job.message, sizeof job.message, "out of memory");
            return false;
        }
    }
    while (job.cinfo.output_scanline < job.cinfo.output_height) {
        const JDIMENSION y = job.cinfo.output_scanline;
        unsigned char* line = bits + static_cast<qsizetype>(y) * stride;
        JSAMPROW row = cmyk ? job.cmykRow : line;
        if (jpeg_read_scanlines(&job.cinfo, &row, 1) != 1) {
            std::snprintf(job.message, sizeof job.message, "no picture data");
            return false;
        }
        if (cmyk) {
            auto* out = reinterpret_cast<QRgb*>(line);
            for (JDIMENSION x = 0; x < job.cinfo.output_width; ++x)
                out[x] = CmykToRgb(job.cmykRow + static_cast<size_t>(x) * 4, inverted);
        }
    }
    jpeg_finish_decompress(&job.cinfo);
    return true;
}

} // namespace

QImage TJpegDecoder::Decode(const QByteArray& data, const QString& what)
{
    // Zero-initialised: pointers null, flags false, message empty.
    auto* job = static_cast<JpegJob*>(std::calloc(1, sizeof(JpegJob)));
    if (job == nullptr)
        throw platform::Exception(QStringLiteral("Cannot read %1: out of memory").arg(what));
    struct Cleanup {
        JpegJob* job;
        ~Cleanup()
        {
            Destroy(*job);
            std::free(job);
        }
    } cleanup{job};

    QImage image;
    bool ok = ReadHeader(*job, reinterpret_cast<const unsigned char*>(data.constData()),
                         static_cast<unsigned long>(data.size()));
    if (ok) {
        image = QImage(static_cast<int>(job->cinfo.output_width), static_cast<int>(job->cinfo.output_height),
                       QImage::Format_RGB32);
        if (image.isNull()) {
            std::snprintf(job->message, sizeof job->message, "out of memory");
            ok = false;
        } else {
            ok = ReadPixels(*job, image.bits(), image.bytesPerLine());
        }
    }
    if (!ok)
        throw platform::Exception(
            QStringLiteral("Cannot read %1: %2").arg(what, QString::fromLocal8Bit(job->message)));
    return image;
}

QImage TJpegDecoder::LoadFromBuffer(const QByteArray& data)
{
    return Decode(data, QStringLiteral("JPEG data"));
}

QImage TJpegDecoder::LoadFromFile(const QString& path)
{
    const QString what = QStringLiteral("JPEG file %1").arg(path);
    QByteArray data;
    QString error;
    if (!ReadImageFile(path, data, error))
        throw platform::Exception(QStringLiteral("Cannot read %1: %2").arg(what, error));
    return Decode(data, what);
}

} // namespace pw::imaging
