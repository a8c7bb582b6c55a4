#include "viewer/frmLumra.h"

#include "platform/Dialogs.h"
#include "platform/ProgramIcon.h"
#include "platform/Site.h"
#include "platform/Twips.h"
#include "platform/zbasErrorTrap.h"
#include "system/EndRequests.h"
#include "system/WindowManager.h"
#include "viewer/CommandLine.h"
#include "viewer/IntervalTimer.h"

#include <QAction>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPointer>
#include <QScreen>

using basOptions::CurrentOptions;

namespace {

// The client area as designed, in twips.
constexpr double DesignClientWidth = 3915;
constexpr double DesignClientHeight = 2640;
// The picture controls' design size, in twips.
constexpr double DesignPictureWidth = 1995;
constexpr double DesignPictureHeight = 1935;

// How long after the window first appears a new frame from the window manager still moves
// it into place; after that, or once the user has clicked it, it stays where it is.
constexpr qint64 FrameWatchMilliseconds = 3000;

QString designCaption() { return QStringLiteral("Lumra - ") + Site::name(); }

} // namespace

frmLumra::frmLumra(const std::vector<std::string>& arguments, QWidget* parent)
    : QWidget(parent,
        Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
            | Qt::WindowCloseButtonHint)
    , m_commandLine(CommandLine::text(arguments))
{
    setObjectName(QStringLiteral("frmLumra"));
    setCaption(designCaption());
    setAutoFillBackground(true);
    setFocusPolicy(Qt::StrongFocus);
    QPalette black = palette();
    black.setColor(QPalette::Window, Qt::black);
    setPalette(black);
    resize(
        qRound(DesignClientWidth / twipsPerPixel()), qRound(DesignClientHeight / twipsPerPixel()));

    createControls();
    createActions();
    setWindowIcon(ProgramIcon::icon());

    QPointer<frmLumra> self(this);
    zbasErrorTrap::setUnloadViewer([self] {
        if (self)
            self->Unload();
    });
    setDialogOwner(this);
    basOptions::setOptionsWindow(this);
}

frmLumra::~frmLumra()
{
    basOptions::setOptionsWindow(nullptr);
    zbasErrorTrap::setUnloadViewer(nullptr);
}

void frmLumra::createControls()
{
    // Off, at the default pace of the slide show.
    tmrTimer = new IntervalTimer(basOptions::TextDefaults().AutoAdvanceSeconds * 1000, this);
    connect(tmrTimer, &IntervalTimer::Timer, this, &frmLumra::tmrTimer_Timer);

    // Created in the order 1, then 0, as designed; both start at the top-left corner.
    for (int index : { 1, 0 }) {
        auto* picture = new QLabel(this);
        picture->setObjectName(QStringLiteral("imgPic%1").arg(index));
        picture->setGeometry(0, 0, qRound(DesignPictureWidth / twipsPerPixel()),
            qRound(DesignPictureHeight / twipsPerPixel()));
        picture->setScaledContents(false);
        picture->setAttribute(Qt::WA_TransparentForMouseEvents, false);
        imgPic[static_cast<std::size_t>(index)] = picture;
    }
}

double frmLumra::twipsPerPixel() const { return Twips::perPixel(screen()); }

double frmLumra::leftTwips() const { return frameGeometry().x() * twipsPerPixel(); }
double frmLumra::topTwips() const { return frameGeometry().y() * twipsPerPixel(); }
double frmLumra::widthTwips() const { return frameGeometry().width() * twipsPerPixel(); }
double frmLumra::heightTwips() const { return frameGeometry().height() * twipsPerPixel(); }
int frmLumra::timerInterval() const { return tmrTimer->interval(); }

void frmLumra::placeAtBottomRight()
{
    // The full screen, not the work area: the window touches the right edge and keeps 900
    // twips between its bottom edge and the bottom of the screen.
    const QScreen* where = screen();
    if (!where)
        return;
    const QRect screenArea = where->geometry();
    const QSize outer = frameGeometry().size();
    const double tpp = twipsPerPixel();
    const double left = screenArea.width() * tpp - outer.width() * tpp;
    const double top = screenArea.height() * tpp - outer.height() * tpp - 900;
    move(screenArea.x() + qRound(left / tpp), screenArea.y() + qRound(top / tpp));
}

void frmLumra::setCaption(const QString& text)
{
    m_caption = text;
    setWindowTitle(literalTitle(text));
    // The window system is told the caption itself, so that an empty one stays empty.
    if (testAttribute(Qt::WA_WState_Created))
        sys::recordTitle(winId(), text.toUtf8().toStdString());
}

void frmLumra::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    setCaption(m_caption);
    if (!m_frameWatch.isValid())
        m_frameWatch.start();
    followFrame();
}

void frmLumra::moveEvent(QMoveEvent* event)
{
    QWidget::moveEvent(event);
    followFrame();
}

void frmLumra::followFrame()
{
    // The window manager frames the window only after it is mapped, and the placement at
    // the bottom right is for the outer edge. So while the window has just appeared and the
    // user has not touched it, a new frame places it again, and the place it then has is
    // the one the window options compare with when they are saved.
    if (!m_frameWatch.isValid() || m_frameWatch.hasExpired(FrameWatchMilliseconds))
        return;
    const QSize margins = frameGeometry().size() - size();
    if (margins == m_knownMargins)
        return;
    m_knownMargins = margins;
    placeAtBottomRight();
    basOptions::TakeWindowDefaults();
}

void frmLumra::mnuExit_Click() { Unload(); }

void frmLumra::Unload()
{
    if (m_unloaded || m_ended)
        return;
    close();
}

void frmLumra::endWithSession()
{
    // The question is no longer awaited; closing it first lets a start-up that waits on it
    // see the window closed and stop.
    QPointer<frmLumra> self(this);
    const auto end = [self] {
        cancelOpenDialogs();
        if (self)
            self->Unload();
    };
    sys::watchEndRequests(end);
    if (auto* guiApp = qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        connect(guiApp, &QGuiApplication::commitDataRequest, this, end);
}

void frmLumra::closeEvent(QCloseEvent* event)
{
    // Every way of closing comes here; the close is never refused.
    event->accept();
    if (m_unloaded || m_ended)
        return;
    // Marked first: Cancel in a report from the save must not start a second close.
    m_unloaded = true;
    // The picture decoded ahead will not be shown: its worker stops while the options are
    // saved.
    m_prefetch.drop();
    Form_QueryUnload();
    tmrTimer->setEnabled(false);
    emit unloaded();
}

void frmLumra::Form_QueryUnload() { basOptions::SetOptions(); }

void frmLumra::endProgram()
{
    m_ended = true;
    tmrTimer->setEnabled(false);
    hide();
    emit ended();
}
