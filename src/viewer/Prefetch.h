#pragma once

// The picture the next move will most likely show, decoded on a worker thread at the size
// it will be shown while the user looks at the current one. At most one is held. It is
// shown only for the same path, and only while the file is the one decoded (the same device,
// file number, size and modification time); otherwise the picture is decoded afresh, so a
// replaced or deleted file is shown as it is now.

#include "system/RegularFile.h"

#include <QImage>
#include <QRect>
#include <functional>
#include <memory>
#include <optional>
#include <string>

class PictureLoader;

// A picture ready for the screen: decoded at its size there, where it goes in the client
// area, and whether it was shrunk to fit.
struct PreparedPicture {
    QImage image;
    QRect place;
    bool shrunk = false;
};

class Prefetch {
public:
    // Decodes the opened picture, on the worker thread; nothing when it cannot be decoded.
    using Decode = std::function<std::optional<PreparedPicture>(PictureLoader&)>;

    Prefetch() = default;
    Prefetch(const Prefetch&) = delete;
    Prefetch& operator=(const Prefetch&) = delete;

    // Starts decoding the picture at path in place of the one held.
    void start(const std::string& path, Decode decode);

    // The picture decoded for path, waiting for its decode when that is still under way;
    // nothing when another or none is held, or its file has changed since. What was held is
    // let go either way.
    std::optional<PreparedPicture> take(const std::string& path);

    // Lets go of the picture held; a decode under way ends on its own and is thrown away.
    void drop() { m_job.reset(); }

    // The path held, empty when none; and whether its decode has ended.
    std::string held() const;
    bool ready() const;

private:
    struct Job;
    std::shared_ptr<Job> m_job;
};
