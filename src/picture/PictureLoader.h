#pragma once

// The picture loader, in two steps: open a file to learn the picture's natural size, then
// read it at the size it will be shown. The format is told by the content, never by the
// name, and only regular files are opened. Sizes are in pixels and upright: a photo whose
// EXIF orientation says it was taken in portrait is portrait here.

#include "picture/Decoding.h"
#include "system/RegularFile.h"

#include <QImage>
#include <QSize>
#include <QtGlobal>
#include <memory>
#include <optional>
#include <string>

class PictureLoader {
public:
    // Lumra shows every picture of up to 200 megapixels; a larger one fails like a file that
    // cannot be decoded, so a small file whose header claims a huge picture costs nothing.
    static constexpr qint64 MaxPixels = 200'000'000;
    // Nor a picture a million pixels wide or high: a row of the widest a BMP may claim would
    // cost as much as a whole picture, with no chance to stop in between. PNG has the same
    // limit of its own.
    static constexpr int MaxSide = 1'000'000;

    PictureLoader();
    ~PictureLoader();
    PictureLoader(const PictureLoader&) = delete;
    PictureLoader& operator=(const PictureLoader&) = delete;

    // Opens the picture at path (the file system's bytes, not necessarily UTF-8). True only
    // for a regular file holding a BMP, GIF, JPEG or PNG picture of at most MaxPixels and
    // MaxSide. A
    // picture opened before is closed first, also when this one fails.
    bool open(const std::string& path);

    // Lets go of the file. Nothing is held afterwards. Call it (or drop the loader) once the
    // picture is read: the file should not stay open while the picture is on screen, where
    // the user may delete it.
    void close();

    bool isOpen() const;

    // The open file as it was when it was opened; nothing when nothing is open.
    std::optional<sys::RegularFile::Identity> identity() const;

    // The open picture's size in pixels after its orientation is applied; empty when
    // nothing is open.
    QSize naturalSize() const;

    // The open picture decoded upright at exactly targetSize pixels, reduced smoothly without
    // regard to aspect ratio: the caller decides the fit. Every format is read by Lumra's own
    // decoders, which sum the rows into the size shown as they come, so a full-size bitmap
    // is never made. Damaged when nothing is open, targetSize is empty or larger than
    // MaxPixels, or the picture cannot be decoded; OverBudget when decoding it would take
    // more than Decoding::Budget; Cancelled when cancel was set meanwhile. The file stays
    // open, so the picture may be read again.
    Decoding::Result read(QSize targetSize, const Decoding::CancelFlag* cancel = nullptr);

private:
    struct Opened;
    std::unique_ptr<Opened> m_opened;
};
