// The picture on screen: loading one file into the hidden picture control, fitting it into
// the client area and showing it.

#include "viewer/frmLumra.h"

#include "picture/PictureLoader.h"
#include "viewer/Moves.h"
#include "viewer/basGeneral.h"

#include <QEvent>
#include <QLabel>
#include <QPixmap>
#include <algorithm>
#include <cmath>

using namespace basGeneral;

namespace {

// Rounds to the nearest whole number, halves to the even neighbour.
double roundHalfEven(double value) { return std::nearbyint(value); }

} // namespace

QRect frmLumra::fitPicture(QSize naturalPixels, const Fit& fit)
{
    // Sizes and positions are worked out in twips, as the window measures them.
    const double tpp = fit.twipsPerPixel;
    const double W = naturalPixels.width() * tpp;
    const double H = naturalPixels.height() * tpp;
    const double CW = fit.client.width() * tpp;
    const double CH = fit.client.height() * tpp;
    double w = W;
    double h = H;
    if (!(W <= CW && H <= CH)) {
        const float RW = static_cast<float>(CW) / static_cast<float>(W);
        const float RH = static_cast<float>(CH) / static_cast<float>(H);
        const float scale = RW < RH ? RW : RH;
        // However thin the picture, it keeps at least one pixel each way.
        w = std::max(roundHalfEven(W * static_cast<double>(scale)), tpp);
        h = std::max(roundHalfEven(H * static_cast<double>(scale)), tpp);
    }
    const double left = std::trunc(roundHalfEven(CW - w) / 2);
    const double top = std::trunc(roundHalfEven(CH - h) / 2);
    return QRect(qRound(left / tpp), qRound(top / tpp), qRound(w / tpp), qRound(h / tpp));
}

frmLumra::Fit frmLumra::currentFit() const
{
    return { size(), twipsPerPixel(), devicePixelRatioF() };
}

// The picture is decoded at the size it is shown: one picture pixel per device pixel.
std::optional<PreparedPicture> frmLumra::preparePicture(
    PictureLoader& loader, const Fit& fit, const Decoding::CancelFlag* cancel)
{
    const QSize pixels = loader.naturalSize();
    const QSize natural(qRound(pixels.width() / fit.ratio), qRound(pixels.height() / fit.ratio));
    PreparedPicture picture;
    picture.place = fitPicture(natural, fit);
    picture.shrunk = picture.place.size() != natural;
    picture.image
        = loader.read(picture.shrunk ? picture.place.size() * fit.ratio : pixels, cancel).image;
    if (picture.image.isNull())
        return std::nullopt;
    return picture;
}

void frmLumra::SetPic(const std::string& path)
{
    m_picSlot[0] = m_picSlot[0] == 0 ? 1 : 0;
    m_picSlot[1] = m_picSlot[0] == 0 ? 1 : 0;
    QLabel* previous = imgPic[static_cast<std::size_t>(m_picSlot[1])];
    QLabel* next = imgPic[static_cast<std::size_t>(m_picSlot[0])];
    previous->setVisible(false);
    previous->clear();
    next->setScaledContents(false);

    // The picture decoded ahead is taken when it was made for this path and this window.
    const Fit fit = currentFit();
    std::optional<PreparedPicture> picture
        = fit == m_prefetchFit ? m_prefetch.take(path) : std::nullopt;
    m_prefetch.drop();
    if (!picture) {
        PictureLoader loader;
        if (!loader.open(path))
            return;
        picture = preparePicture(loader, fit);
        if (!picture)
            return;
    }
    next->setScaledContents(picture->shrunk);
    QPixmap pixmap = QPixmap::fromImage(std::move(picture->image));
    pixmap.setDevicePixelRatio(fit.ratio);
    next->setPixmap(pixmap);
    next->setGeometry(picture->place);
    next->setVisible(true);
}

void frmLumra::prefetchNext()
{
    m_prefetch.drop();
    const std::int32_t count = PictureCount();
    // Random order draws at the moment of the move: nothing can be known ahead.
    if (!basOptions::CurrentOptions.Sorted || count < 2 || m_currentIndex < 1)
        return;
    const std::int32_t ahead = Moves::nextIndex(
        m_lastStep, m_currentIndex, count, true, basOptions::CurrentOptions.Reverse, nullptr);
    const std::string& path = PicturePaths.at(ahead);
    if (path.empty())
        return;
    m_prefetchFit = currentFit();
    m_prefetch.start(
        path, [fit = m_prefetchFit](PictureLoader& loader, const Decoding::CancelFlag& cancel) {
            return preparePicture(loader, fit, &cancel);
        });
}

void frmLumra::Form_Resize()
{
    if (isMinimized()) {
        setCaption(QString());
        return;
    }
    // The index can stand on an empty list (a folder without pictures was chosen): there is
    // no name to show then.
    if (m_currentIndex > 0 && m_currentIndex <= PictureCount()) {
        const QString name = QString::fromLocal8Bit(GetFileName(PicturePaths.at(m_currentIndex)));
        if (m_caption != name)
            setCaption(name);
    }
}

void frmLumra::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    // Showing the window sends a resize of the size it already has: the picture decoded
    // ahead for it still fits.
    if (currentFit() != m_prefetchFit)
        m_prefetch.drop();
    Form_Resize();
}

void frmLumra::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange)
        Form_Resize();
}
