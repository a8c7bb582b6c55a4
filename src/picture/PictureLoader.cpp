#include "picture/PictureLoader.h"

#include "picture/BmpRows.h"
#include "picture/GifRows.h"
#include "picture/JpegRows.h"
#include "picture/PngRows.h"
#include "system/RegularFile.h"

#include <QByteArray>
#include <QIODevice>
#include <QImageIOHandler>
#include <QTransform>
#include <optional>

namespace {

// An open regular file as the decoders read it. It is unbuffered, so the device's idea of
// the position and ours never part, and every read is a positioned read of the file.
class RegularFileDevice : public QIODevice {
public:
    explicit RegularFileDevice(sys::RegularFile file)
        : m_file(std::move(file))
    {
    }

    bool isSequential() const override { return false; }
    qint64 size() const override { return m_file.size(); }

    bool seek(qint64 position) override
    {
        if (position < 0 || !QIODevice::seek(position))
            return false;
        m_position = position;
        return true;
    }

    const sys::RegularFile& file() const { return m_file; }

protected:
    qint64 readData(char* data, qint64 maxSize) override
    {
        const std::int64_t got = m_file.readAt(m_position, data, maxSize);
        if (got > 0)
            m_position += got;
        return got;
    }

    qint64 writeData(const char*, qint64) override { return -1; }

private:
    sys::RegularFile m_file;
    qint64 m_position = 0;
};

// The picture turned and mirrored as Qt's readers turn and mirror it.
QImage oriented(QImage image, QImageIOHandler::Transformations transformation)
{
    if (transformation == QImageIOHandler::TransformationRotate270)
        return image.transformed(QTransform().rotate(270));
    image = std::move(image).mirrored(transformation & QImageIOHandler::TransformationMirror,
        transformation & QImageIOHandler::TransformationFlip);
    if (transformation & QImageIOHandler::TransformationRotate90)
        image = image.transformed(QTransform().rotate(90));
    return image;
}

qint64 pixelsOf(QSize size) { return qint64(size.width()) * size.height(); }

// The formats, told by their first bytes, never by the name: a TIFF or WebP file named
// like a picture is undecodable, as the picture list never asks for one.
struct Format {
    QByteArrayView signature;
    std::optional<Decoding::Header> (*readHeader)(QIODevice&);
    Decoding::Result (*read)(QIODevice&, const Decoding::Request&);
};

const Format Formats[] = {
    { "BM", BmpRows::readHeader, BmpRows::read },
    { "GIF87a", GifRows::readHeader, GifRows::read },
    { "GIF89a", GifRows::readHeader, GifRows::read },
    { "\xFF\xD8", JpegRows::readHeader, JpegRows::read },
    { "\x89PNG\r\n\x1A\n", PngRows::readHeader, PngRows::read },
};

const Format* formatOf(QIODevice& device)
{
    const QByteArray head = device.seek(0) ? device.read(8) : QByteArray();
    for (const Format& format : Formats)
        if (head.startsWith(format.signature))
            return &format;
    return nullptr;
}

} // namespace

struct PictureLoader::Opened {
    explicit Opened(sys::RegularFile file)
        : device(std::move(file))
    {
    }

    RegularFileDevice device;
    const Format* format = nullptr;
    // What the headers say: scaling comes before orientation, so a scaled size is given in
    // stored terms.
    Decoding::Header header;
    bool quarterTurn() const
    {
        return (header.transformation & QImageIOHandler::TransformationRotate90) != 0;
    }
};

PictureLoader::PictureLoader() = default;
PictureLoader::~PictureLoader() = default;

bool PictureLoader::open(const std::string& path)
{
    close();
    std::optional<sys::RegularFile> file = sys::RegularFile::open(path);
    if (!file)
        return false;
    auto opened = std::make_unique<Opened>(std::move(*file));
    if (!opened->device.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return false;
    opened->format = formatOf(opened->device);
    if (!opened->format || !opened->device.seek(0))
        return false;
    const std::optional<Decoding::Header> header = opened->format->readHeader(opened->device);
    if (!header || header->storedSize.isEmpty() || pixelsOf(header->storedSize) > MaxPixels
        || header->storedSize.width() > MaxSide || header->storedSize.height() > MaxSide)
        return false;
    opened->header = *header;
    m_opened = std::move(opened);
    return true;
}

void PictureLoader::close() { m_opened.reset(); }

bool PictureLoader::isOpen() const { return m_opened != nullptr; }

std::optional<sys::RegularFile::Identity> PictureLoader::identity() const
{
    if (!m_opened)
        return std::nullopt;
    return m_opened->device.file().identity();
}

QSize PictureLoader::naturalSize() const
{
    if (!m_opened)
        return {};
    const QSize stored = m_opened->header.storedSize;
    return m_opened->quarterTurn() ? stored.transposed() : stored;
}

Decoding::Result PictureLoader::read(QSize targetSize, const Decoding::CancelFlag* cancel)
{
    using Decoding::Outcome;
    using Decoding::Result;
    if (!m_opened || targetSize.isEmpty() || pixelsOf(targetSize) > MaxPixels)
        return Result::failed(Outcome::Damaged);
    const QSize stored = m_opened->header.storedSize;
    const QSize storedTarget = m_opened->quarterTurn() ? targetSize.transposed() : targetSize;
    // The decoders only reduce. A side asked larger than the picture (a rounding of the
    // screen's scale) is read at the picture's own size and stretched afterwards.
    const Decoding::Request request { stored, storedTarget.boundedTo(stored), cancel };
    if (request.target != storedTarget && !Decoding::withinBudget(pixelsOf(storedTarget) * 4))
        return Result::failed(Outcome::OverBudget);
    if (!m_opened->device.seek(0))
        return Result::failed(Outcome::Damaged);
    Result result = m_opened->format->read(m_opened->device, request);
    // A decode stopped between the steps that look at the flag is as cancelled as one
    // stopped by a step.
    if (request.cancelled())
        return Result::failed(Outcome::Cancelled);
    if (result.outcome != Outcome::Decoded)
        return Result::failed(result.outcome);
    if (result.image.size() != storedTarget)
        result.image
            = result.image.scaled(storedTarget, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    result.image = oriented(std::move(result.image), m_opened->header.transformation);
    return result;
}
