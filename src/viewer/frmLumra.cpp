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

namespace {

using basOptions::OptionSet;

// The popup menu, one row per item in order: the member that holds it, its designed name,
// caption, the key name shown beside it once loaded, the shortcut shown inside the menu, the
// option it carries a check mark for, and its command. A row without a caption is a
// separator.
struct MenuRow {
    QAction* frmLumra::*item;
    const char* name;
    const char* caption = nullptr;
    const char* keyName = nullptr;
    const char* shortcut = nullptr;
    bool OptionSet::*option = nullptr;
    void (frmLumra::*command)() = nullptr;
};

const MenuRow MenuTable[] = {
    { &frmLumra::mnuOptionsSelectFolder, "mnuOptionsSelectFolder", "&Select Folder...", nullptr,
        "Ctrl+F", nullptr, &frmLumra::mnuOptionsSelectFolder_Click },
    { &frmLumra::mnuSep1, "mnuSep1" },
    { &frmLumra::mnuFileShowFirst, "mnuFileShowFirst", "Show First", "Home", nullptr, nullptr,
        &frmLumra::mnuFileShowFirst_Click },
    { &frmLumra::mnuFileShowPrevious, "mnuFileShowPrevious", "Show Previous", "Pg Up", nullptr,
        nullptr, &frmLumra::mnuFileShowPrevious_Click },
    { &frmLumra::mnuFileShowNext, "mnuFileShowNext", "Show Next", "Pg Dn", nullptr, nullptr,
        &frmLumra::mnuFileShowNext_Click },
    { &frmLumra::mnuFileShowLast, "mnuFileShowLast", "Show Last", "End", nullptr, nullptr,
        &frmLumra::mnuFileShowLast_Click },
    { &frmLumra::mnuSep2, "mnuSep2" },
    { &frmLumra::mnuOptionsAutoAdvance, "mnuOptionsAutoAdvance", "&Auto-Advance", nullptr, "Ctrl+A",
        &OptionSet::AutoAdvance, &frmLumra::mnuOptionsAutoAdvance_Click },
    { &frmLumra::mnuOptionsAutoAdvanceSeconds, "mnuOptionsAutoAdvanceSeconds",
        "S&et Auto-Advance Seconds...", nullptr, nullptr, nullptr,
        &frmLumra::mnuOptionsAutoAdvanceSeconds_Click },
    { &frmLumra::mnuOptionsSorted, "mnuOptionsSorted", "&Sorted", nullptr, "Ctrl+S",
        &OptionSet::Sorted, &frmLumra::mnuOptionsSorted_Click },
    { &frmLumra::mnuOptionsReverse, "mnuOptionsReverse", "&Reverse", nullptr, "Ctrl+R",
        &OptionSet::Reverse, &frmLumra::mnuOptionsReverse_Click },
    { &frmLumra::mnuOptionsTransparent, "mnuOptionsTransparent", "&Transparent", nullptr, "Ctrl+T",
        &OptionSet::Transparent, &frmLumra::mnuOptionsTransparent_Click },
    { &frmLumra::mnuSep3, "mnuSep3" },
    { &frmLumra::mnuOptionsStayOnTop, "mnuOptionsStayOnTop", "Stay On &Top", nullptr, nullptr,
        &OptionSet::StayOnTop, &frmLumra::mnuOptionsStayOnTop_Click },
    { &frmLumra::mnuSep4, "mnuSep4" },
    { &frmLumra::mnuHelp, "mnuHelp", "&Help...", nullptr, nullptr, nullptr,
        &frmLumra::mnuHelp_Click },
    { &frmLumra::mnuVisitWebsite, "mnuVisitWebsite", "&Visit %1...", nullptr, nullptr, nullptr,
        &frmLumra::mnuVisitWebsite_Click },
    { &frmLumra::mnuSep5, "mnuSep5" },
    { &frmLumra::mnuMorvanell, "mnuMorvanell", "About Lumra...", nullptr, nullptr, nullptr,
        &frmLumra::mnuMorvanell_Click },
    { &frmLumra::mnuSep6, "mnuSep6" },
    { &frmLumra::mnuExit, "mnuExit", "E&xit", "Esc", nullptr, nullptr, &frmLumra::mnuExit_Click },
};

} // namespace

void frmLumra::createActions()
{
    mnuFile = new QMenu(QStringLiteral("&Lumra"), this);
    mnuFile->installEventFilter(new LeftButtonOnly(mnuFile));
    mnuFile->setObjectName(QStringLiteral("mnuFile"));
    for (const MenuRow& row : MenuTable) {
        QAction* action = nullptr;
        if (!row.caption) {
            action = mnuFile->addSeparator();
        } else {
            QString caption = QLatin1String(row.caption);
            if (caption.contains(QLatin1String("%1")))
                caption = caption.arg(Site::name());
            action = mnuFile->addAction(caption);
            action->setCheckable(row.option != nullptr);
            connect(action, &QAction::triggered, this, row.command);
        }
        if (row.shortcut) {
            // The shortcut is shown beside the caption; the keys themselves are handled by
            // the window's key table, so the shortcut only works inside the open menu.
            action->setShortcut(QKeySequence(QLatin1String(row.shortcut)));
            action->setShortcutContext(Qt::WidgetShortcut);
        }
        action->setObjectName(QLatin1String(row.name));
        this->*row.item = action;
    }
}

void frmLumra::appendKeyNames()
{
    for (const MenuRow& row : MenuTable)
        if (row.keyName)
            (this->*row.item)
                ->setText(
                    (this->*row.item)->text() + QLatin1Char('\t') + QLatin1String(row.keyName));
}

void frmLumra::showOptionMarks()
{
    for (const MenuRow& row : MenuTable)
        if (row.option)
            (this->*row.item)->setChecked(CurrentOptions.*row.option);
}

bool frmLumra::flipOption(QAction* item)
{
    for (const MenuRow& row : MenuTable) {
        if (row.option && this->*row.item == item) {
            CurrentOptions.*row.option = !(CurrentOptions.*row.option);
            item->setChecked(CurrentOptions.*row.option);
            return CurrentOptions.*row.option;
        }
    }
    return false;
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
