// The picture on screen: loading one file into the hidden picture control, fitting it into
// the client area and showing it.

#include "viewer/frmLumra.h"

#include "picture/PictureLoader.h"
#include "viewer/basGeneral.h"

#include <QEvent>
#include <QLabel>
#include <QPixmap>
#include <cmath>

using namespace basGeneral;

namespace {

// Rounds to the nearest whole number, halves to the even neighbour.
double roundHalfEven(double value) { return std::nearbyint(value); }

} // namespace

QRect frmLumra::fitPicture(QSize naturalPixels) const
{
    // Sizes and positions are worked out in twips, as the window measures them.
    const double tpp = twipsPerPixel();
    const double W = naturalPixels.width() * tpp;
    const double H = naturalPixels.height() * tpp;
    const double CW = width() * tpp;
    const double CH = height() * tpp;
    double w = W;
    double h = H;
    if (!(W <= CW && H <= CH)) {
        const float RW = static_cast<float>(CW) / static_cast<float>(W);
        const float RH = static_cast<float>(CH) / static_cast<float>(H);
        const float scale = RW < RH ? RW : RH;
        w = roundHalfEven(W * static_cast<double>(scale));
        h = roundHalfEven(H * static_cast<double>(scale));
    }
    const double left = std::trunc(roundHalfEven(CW - w) / 2);
    const double top = std::trunc(roundHalfEven(CH - h) / 2);
    return QRect(qRound(left / tpp), qRound(top / tpp), qRound(w / tpp), qRound(h / tpp));
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

    // The picture is decoded at the size it is shown: one picture pixel per device pixel.
    const qreal ratio = devicePixelRatioF();
    QImage image;
    QRect place;
    {
        PictureLoader loader;
        if (!loader.open(path))
            return;
        const QSize pixels = loader.naturalSize();
        const QSize natural(qRound(pixels.width() / ratio), qRound(pixels.height() / ratio));
        place = fitPicture(natural);
        const bool shrunk = place.size() != natural;
        image = loader.read(shrunk ? place.size() * ratio : pixels);
        if (image.isNull())
            return;
        next->setScaledContents(shrunk);
    }
    QPixmap pixmap = QPixmap::fromImage(std::move(image));
    pixmap.setDevicePixelRatio(ratio);
    next->setPixmap(pixmap);
    next->setGeometry(place);
    next->setVisible(true);
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
    Form_Resize();
}

void frmLumra::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange)
        Form_Resize();
}
