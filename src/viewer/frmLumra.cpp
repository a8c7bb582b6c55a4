#include "viewer/frmLumra.h"

#include "platform/Dialogs.h"
#include "platform/ProgramIcon.h"
#include "platform/Site.h"
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

// The popup menu chooses with the left button or the keyboard only: other buttons on its
// items do nothing. Outside the menu they close it, as any click there does.
class LeftButtonOnly final : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick: {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            const auto* menu = static_cast<QWidget*>(watched);
            return mouse->button() != Qt::LeftButton
                && menu->rect().contains(mouse->position().toPoint());
        }
        default: return false;
        }
    }
};

} // namespace

frmLumra::frmLumra(std::vector<std::string> arguments, QWidget* parent)
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
    tmrTimer = new IntervalTimer(this);
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

void frmLumra::createActions()
{
    mnuFile = new QMenu(QStringLiteral("&Lumra"), this);
    mnuFile->installEventFilter(new LeftButtonOnly(mnuFile));
    mnuFile->setObjectName(QStringLiteral("mnuFile"));

    auto item = [this](const QString& caption, const char* name, const QString& shortcut = {}) {
        QAction* action = mnuFile->addAction(caption);
        action->setObjectName(QLatin1String(name));
        if (!shortcut.isEmpty()) {
            // The shortcut is shown beside the caption; the keys themselves are handled by
            // the window's key table, so the shortcut only works inside the open menu.
            action->setShortcut(QKeySequence(shortcut));
            action->setShortcutContext(Qt::WidgetShortcut);
        }
        return action;
    };
    auto separator = [this](const char* name) {
        QAction* action = mnuFile->addSeparator();
        action->setObjectName(QLatin1String(name));
        return action;
    };

    mnuOptionsSelectFolder = item(
        QStringLiteral("&Select Folder..."), "mnuOptionsSelectFolder", QStringLiteral("Ctrl+F"));
    mnuSep1 = separator("mnuSep1");
    mnuFileShowFirst = item(QStringLiteral("Show First"), "mnuFileShowFirst");
    mnuFileShowPrevious = item(QStringLiteral("Show Previous"), "mnuFileShowPrevious");
    mnuFileShowNext = item(QStringLiteral("Show Next"), "mnuFileShowNext");
    mnuFileShowLast = item(QStringLiteral("Show Last"), "mnuFileShowLast");
    mnuSep2 = separator("mnuSep2");
    mnuOptionsAutoAdvance
        = item(QStringLiteral("&Auto-Advance"), "mnuOptionsAutoAdvance", QStringLiteral("Ctrl+A"));
    mnuOptionsAutoAdvanceSeconds
        = item(QStringLiteral("S&et Auto-Advance Seconds..."), "mnuOptionsAutoAdvanceSeconds");
    mnuOptionsSorted
        = item(QStringLiteral("&Sorted"), "mnuOptionsSorted", QStringLiteral("Ctrl+S"));
    mnuOptionsReverse
        = item(QStringLiteral("&Reverse"), "mnuOptionsReverse", QStringLiteral("Ctrl+R"));
    mnuOptionsTransparent
        = item(QStringLiteral("&Transparent"), "mnuOptionsTransparent", QStringLiteral("Ctrl+T"));
    mnuSep3 = separator("mnuSep3");
    mnuOptionsStayOnTop = item(QStringLiteral("Stay On &Top"), "mnuOptionsStayOnTop");
    mnuSep4 = separator("mnuSep4");
    mnuHelp = item(QStringLiteral("&Help..."), "mnuHelp");
    mnuVisitWebsite
        = item(QStringLiteral("&Visit ") + Site::name() + QStringLiteral("..."), "mnuVisitWebsite");
    mnuSep5 = separator("mnuSep5");
    mnuMorvanell = item(QStringLiteral("About Lumra..."), "mnuMorvanell");
    mnuSep6 = separator("mnuSep6");
    mnuExit = item(QStringLiteral("E&xit"), "mnuExit");

    for (QAction* checkable : { mnuOptionsAutoAdvance, mnuOptionsSorted, mnuOptionsReverse,
             mnuOptionsTransparent, mnuOptionsStayOnTop })
        checkable->setCheckable(true);

    const std::pair<QAction*, void (frmLumra::*)()> commands[] = {
        { mnuOptionsSelectFolder, &frmLumra::mnuOptionsSelectFolder_Click },
        { mnuFileShowFirst, &frmLumra::mnuFileShowFirst_Click },
        { mnuFileShowPrevious, &frmLumra::mnuFileShowPrevious_Click },
        { mnuFileShowNext, &frmLumra::mnuFileShowNext_Click },
        { mnuFileShowLast, &frmLumra::mnuFileShowLast_Click },
        { mnuOptionsAutoAdvance, &frmLumra::mnuOptionsAutoAdvance_Click },
        { mnuOptionsAutoAdvanceSeconds, &frmLumra::mnuOptionsAutoAdvanceSeconds_Click },
        { mnuOptionsSorted, &frmLumra::mnuOptionsSorted_Click },
        { mnuOptionsReverse, &frmLumra::mnuOptionsReverse_Click },
        { mnuOptionsTransparent, &frmLumra::mnuOptionsTransparent_Click },
        { mnuOptionsStayOnTop, &frmLumra::mnuOptionsStayOnTop_Click },
        { mnuHelp, &frmLumra::mnuHelp_Click },
        { mnuVisitWebsite, &frmLumra::mnuVisitWebsite_Click },
        { mnuMorvanell, &frmLumra::mnuMorvanell_Click },
        { mnuExit, &frmLumra::mnuExit_Click },
    };
    for (const auto& [action, handler] : commands)
        connect(action, &QAction::triggered, this, handler);
}

double frmLumra::twipsPerPixel() const
{
    const QScreen* where = screen();
    const double dpi = where ? where->logicalDotsPerInch() : 96.0;
    return 1440.0 / (dpi > 0 ? dpi : 96.0);
}

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
    QPointer<frmLumra> self(this);
    sys::watchEndRequests([self] {
        if (self)
            self->Unload();
    });
    if (auto* guiApp = qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        connect(guiApp, &QGuiApplication::commitDataRequest, this, [this] { Unload(); });
}

void frmLumra::closeEvent(QCloseEvent* event)
{
    // Every way of closing comes here; the close is never refused.
    event->accept();
    if (m_unloaded || m_ended)
        return;
    // Marked first: Cancel in a report from the save must not start a second close.
    m_unloaded = true;
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
