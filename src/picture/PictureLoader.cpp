#include "picture/PictureLoader.h"

#include "picture/BmpRows.h"
#include "picture/GifRows.h"
#include "picture/JpegRows.h"
#include "picture/PngRows.h"
#include "system/RegularFile.h"

#include <QByteArray>
#include <QIODevice>
#include <QImageIOHandler>
#include <QImageReader>
#include <QTransform>
#include <QtEndian>
#include <optional>

namespace {

// The format told by the first bytes, among the four the picture list names. Qt may have
// plugins for many more; a TIFF or WebP file named like a picture is treated as undecodable,
// as the list never asks for one. Telling the format here, rather than asking every plugin
// Qt has, spares loading them all before the first picture.
QByteArray formatOf(QIODevice& device)
{
    const QByteArray head = device.seek(0) ? device.read(8) : QByteArray();
    if (!device.seek(0))
        return {};
    if (head.startsWith("BM"))
        return "bmp";
    if (head.startsWith("GIF87a") || head.startsWith("GIF89a"))
        return "gif";
    if (head.startsWith("\xFF\xD8"))
        return "jpeg";
    if (head == "\x89PNG\r\n\x1A\n")
        return "png";
    return {};
}

// Hands an open regular file to Qt's readers. It is unbuffered, so Qt's idea of the
// position and ours never part, and every read is a positioned read of the file.
//
// It also notes when a reader asks for bytes past the end: a reader that still wants data
// there has met a cut file. Qt's JPEG and GIF readers would fill the missing part with grey
// or black and call it a picture; Lumra treats such a file as undecodable.
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
    bool ranOut() const { return m_ranOut; }
    void clearRanOut() { m_ranOut = false; }

protected:
    qint64 readData(char* data, qint64 maxSize) override
    {
        const std::int64_t got = m_file.readAt(m_position, data, maxSize);
        if (got > 0)
            m_position += got;
        else if (maxSize > 0)
            m_ranOut = true;
        return got;
    }

    qint64 writeData(const char*, qint64) override { return -1; }

private:
    sys::RegularFile m_file;
    qint64 m_position = 0;
    bool m_ranOut = false;
};

// Qt's BMP reader stops quietly where a cut file ends and leaves the rest of the picture
// black, so the size the headers promise is held against the size of the file.
bool bmpIsWhole(QIODevice& device)
{
    if (!device.seek(0))
        return false;
    const QByteArray header = device.read(38);
    if (header.size() < 26)
        return false;
    const auto u16 = [&](int at) { return qFromLittleEndian<quint16>(header.constData() + at); };
    const auto u32 = [&](int at) { return qFromLittleEndian<quint32>(header.constData() + at); };
    const qint64 available = device.size() - qint64(u32(10));
    qint64 rowBytes = 0;
    qint64 rows = 0;
    if (u32(14) == 12) { // the old OS/2 header
        rowBytes = (qint64(u16(18)) * u16(24) + 31) / 32 * 4;
        rows = u16(20);
    } else {
        if (header.size() < 38)
            return false;
        const quint32 compression = u32(30);
        if (compression == 1 || compression == 2) // run lengths: the header gives the size
            return qint64(u32(34)) <= available;
        const qint64 width = qFromLittleEndian<qint32>(header.constData() + 18);
        const qint64 height = qFromLittleEndian<qint32>(header.constData() + 22);
        if (width < 0)
            return false;
        rowBytes = (width * u16(28) + 31) / 32 * 4;
        rows = qAbs(height);
    }
    // A header may promise more than any file holds: divide rather than multiply.
    return available >= 0 && (rowBytes == 0 || rows <= available / rowBytes);
}

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

// Qt's limit is one for the process; it is set once, before the first picture on any thread.
void limitAllocations()
{
    static const bool limited
        = (QImageReader::setAllocationLimit(PictureLoader::AllocationLimitMiB), true);
    Q_UNUSED(limited);
}

// Qt refuses to decode a picture whose pixels need more memory than its allocation limit
// allows; pictures Lumra decodes itself are held to the same limit.
bool withinAllocationLimit(QSize size)
{
    const qint64 limitMiB = QImageReader::allocationLimit();
    return limitMiB <= 0 || pixelsOf(size) * 4 <= limitMiB << 20;
}

} // namespace

struct PictureLoader::Opened {
    explicit Opened(sys::RegularFile file)
        : device(std::move(file))
    {
    }

    RegularFileDevice device;
    QByteArray format;
    // The size as stored in the file, before orientation, and how it is turned and mirrored
    // to show upright: scaling comes before orientation, so a scaled size must be given in
    // stored terms.
    QSize storedSize;
    QImageIOHandler::Transformations transformation;
    bool quarterTurn() const
    {
        return (transformation & QImageIOHandler::TransformationRotate90) != 0;
    }
    // Whether the picture is shown as stored, neither turned nor mirrored.
    bool upright() const { return transformation == QImageIOHandler::TransformationNone; }
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

    limitAllocations();
    const QByteArray format = formatOf(opened->device);
    if (format.isEmpty())
        return false;
    // A JPEG's header is read without Qt, so that its plugins are not loaded for it.
    const std::optional<JpegRows::Header> jpeg
        = format == "jpeg" ? JpegRows::readHeader(opened->device) : std::nullopt;
    QImageReader reader(&opened->device, format);
    reader.setAutoDetectImageFormat(false);
    if (!jpeg && !reader.canRead())
        return false;
    const JpegRows::Header header
        = jpeg ? *jpeg : JpegRows::Header { reader.size(), reader.transformation() };
    QSize stored = header.storedSize;
    // Qt gives a BMP stored top down a negative height.
    if (format == "bmp" && stored.height() < 0 && stored.height() > INT_MIN)
        stored.setHeight(-stored.height());
    if (stored.isEmpty() || pixelsOf(stored) > MaxPixels)
        return false;
    if (format == "bmp" && !bmpIsWhole(opened->device))
        return false;
    opened->format = format;
    opened->storedSize = stored;
    opened->transformation = header.transformation;
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
    return m_opened->quarterTurn() ? m_opened->storedSize.transposed() : m_opened->storedSize;
}

QImage PictureLoader::read(QSize targetSize)
{
    if (!m_opened || targetSize.isEmpty() || pixelsOf(targetSize) > MaxPixels)
        return {};
    RegularFileDevice& device = m_opened->device;
    limitAllocations();

    const QSize storedTarget = m_opened->quarterTurn() ? targetSize.transposed() : targetSize;
    if (m_opened->format == "jpeg") {
        if (!withinAllocationLimit(targetSize))
            return {};
        if (std::optional<QImage> reduced
            = JpegRows::readReduced(device, m_opened->storedSize, storedTarget))
            return oriented(std::move(*reduced), m_opened->transformation);
    }

    // Qt's PNG reader scales each row as it decodes it, which costs more than decoding the
    // whole picture and reducing it afterwards, and its BMP and GIF readers cannot scale at
    // all: these are reduced by summing their rows as they are decoded instead.
    const auto readRows = m_opened->format == "png" && m_opened->upright() ? PngRows::readReduced
        : m_opened->format == "bmp"                                        ? BmpRows::readReduced
        : m_opened->format == "gif"                                        ? GifRows::readReduced
                                                                           : nullptr;
    if (readRows && targetSize != m_opened->storedSize) {
        if (!withinAllocationLimit(targetSize))
            return {};
        if (std::optional<QImage> reduced = readRows(device, m_opened->storedSize, targetSize))
            return *reduced;
    }

    if (!device.seek(0))
        return {};
    device.clearRanOut();
    QImageReader reader(&device, m_opened->format);
    reader.setAutoDetectImageFormat(false);
    reader.setAutoTransform(true);
    // A hint that readers able to trade quality for speed while scaling (JPEG) take the
    // careful way.
    reader.setQuality(100);
    if (storedTarget != m_opened->storedSize && reader.supportsOption(QImageIOHandler::ScaledSize))
        reader.setScaledSize(storedTarget);

    QImage image = reader.read();
    if (image.isNull() || device.ranOut())
        return {};
    // Formats that cannot scale while decoding arrive at full size: reduce, and let the
    // full-size bitmap go as soon as the reduced one exists.
    if (image.size() != targetSize)
        image = image.scaled(targetSize, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return image;
}
