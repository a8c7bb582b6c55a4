#pragma once

// What every decoder of a picture format shares: the memory one picture may take, what is
// asked of a decode, the flag that stops it, and what became of it.

#include <QImage>
#include <QImageIOHandler>
#include <QSize>
#include <QtGlobal>
#include <atomic>
#include <optional>

namespace Decoding {

// The memory that decoding any one picture may take beyond the program with no picture
// shown, whatever the file claims: the reduced picture, every buffer and sum of the
// decoder's own and what the format libraries allocate for it. A picture that would need
// more is undecodable.
inline constexpr qint64 Budget = qint64 { 256 } << 20;

// Whether a decode needing bytes in all stays within the budget. A negative count is a sum
// that ran over, and fails too.
inline bool withinBudget(qint64 bytes) { return bytes >= 0 && bytes <= Budget; }

// What the headers say before any pixel is read.
struct Header {
    QSize storedSize; // before orientation
    // How the picture must be turned or mirrored to show upright, as Qt's readers say it.
    QImageIOHandler::Transformations transformation = QImageIOHandler::TransformationNone;
};

// Set by another thread to stop a decode under way; decoders look at it once a row (or a
// block, or a scan) and end as Cancelled.
using CancelFlag = std::atomic<bool>;

// One decode: the picture as stored, the size it is read at (as stored, before orientation;
// never larger than storedSize on either side), and the flag that may stop it.
struct Request {
    QSize storedSize;
    QSize target;
    const CancelFlag* cancel = nullptr;

    bool cancelled() const { return cancel && cancel->load(std::memory_order_relaxed); }
};

enum class Outcome {
    Decoded, // the picture, at the size asked
    Damaged, // not a picture Lumra can show: damaged, cut short, or of a kind not read
    OverBudget, // it would need more memory than Budget
    Cancelled, // stopped by its flag
};

struct Result {
    Outcome outcome = Outcome::Damaged;
    QImage image; // only when Decoded

    static Result decoded(QImage picture)
    {
        // A picture that could not be allocated is over the budget the system gives.
        if (picture.isNull())
            return { Outcome::OverBudget, {} };
        return { Outcome::Decoded, std::move(picture) };
    }
    static Result failed(Outcome outcome) { return { outcome, {} }; }
};

} // namespace Decoding
