// The commands, the keyboard, the mouse and the popup menu.

#include "viewer/frmLumra.h"

#include "platform/Dialogs.h"
#include "platform/Site.h"
#include "platform/zbasErrorTrap.h"
#include "system/System.h"
#include "viewer/IntervalTimer.h"
#include "viewer/Moves.h"
#include "viewer/basGeneral.h"

#include <QAction>
#include <QCoreApplication>
#include <QCursor>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>

using namespace basGeneral;
using zbasErrorTrap::Handler;

namespace {

// Virtual-key codes of the keys the viewer knows.
enum VirtualKey : std::int16_t {
    VK_RETURN = 13,
    VK_ESCAPE = 27,
    VK_SPACE = 32,
    VK_PRIOR = 33,
    VK_NEXT = 34,
    VK_END = 35,
    VK_HOME = 36,
    VK_DELETE = 46,
    VK_APPS = 93,
    VK_F1 = 112,
    VK_OEM_3 = 192,
};

enum ModifierMask : std::int16_t { ShiftMask = 1, CtrlMask = 2, AltMask = 4 };

enum class Modifiers {
    Any, // whatever is held
    None, // nothing held
    CtrlOnly, // Ctrl and nothing else
    CtrlOnlySorted, // Ctrl and nothing else, with the Sorted option on
};

// How the menu shows the first key of an item: not at all, as the item's shortcut (shown
// inside the menu; the keys themselves are handled by Form_KeyDown, so the shortcut only
// works while the menu is open), or by its name after a tab once the window has loaded.
enum class KeyText { None, Shortcut, Name };

// One command a row, the menu's items in menu order and then the keys without an item: the
// member that holds the item and its designed name, its caption (none for a separator), up
// to three keys and the modifiers they need, how the menu shows the first key, the option
// the item carries a check mark for, the command, and the keys' own command when it differs.
// Each key stands in one row only, and a row whose modifiers do not match does nothing.
struct CommandRow {
    QAction* frmLumra::*item;
    const char* name = nullptr;
    const char* caption = nullptr;
    std::array<std::int16_t, 3> keys {};
    Modifiers modifiers = Modifiers::Any;
    KeyText keyText = KeyText::None;
    bool basOptions::OptionSet::*option = nullptr;
    void (frmLumra::*command)() = nullptr;
    void (frmLumra::*keyCommand)() = nullptr;
};

using O = basOptions::OptionSet;
using F = frmLumra;
const CommandRow CommandTable[] = {
    { &F::mnuOptionsSelectFolder, "mnuOptionsSelectFolder", "&Select Folder...", { 'F', 'O' },
        Modifiers::CtrlOnly, KeyText::Shortcut, nullptr, &F::mnuOptionsSelectFolder_Click },
    { &F::mnuSep1, "mnuSep1" },
    { &F::mnuFileShowFirst, "mnuFileShowFirst", "Show First", { VK_HOME }, Modifiers::Any,
        KeyText::Name, nullptr, &F::mnuFileShowFirst_Click },
    { &F::mnuFileShowPrevious, "mnuFileShowPrevious", "Show Previous", { VK_PRIOR }, Modifiers::Any,
        KeyText::Name, nullptr, &F::mnuFileShowPrevious_Click },
    { &F::mnuFileShowNext, "mnuFileShowNext", "Show Next", { VK_NEXT, VK_RETURN, 'N' },
        Modifiers::Any, KeyText::Name, nullptr, &F::mnuFileShowNext_Click },
    { &F::mnuFileShowLast, "mnuFileShowLast", "Show Last", { VK_END }, Modifiers::Any,
        KeyText::Name, nullptr, &F::mnuFileShowLast_Click },
    { &F::mnuSep2, "mnuSep2" },
    { &F::mnuOptionsAutoAdvance, "mnuOptionsAutoAdvance", "&Auto-Advance", { 'A' },
        Modifiers::CtrlOnly, KeyText::Shortcut, &O::AutoAdvance, &F::mnuOptionsAutoAdvance_Click },
    { &F::mnuOptionsAutoAdvanceSeconds, "mnuOptionsAutoAdvanceSeconds",
        "S&et Auto-Advance Seconds...", {}, Modifiers::Any, KeyText::None, nullptr,
        &F::mnuOptionsAutoAdvanceSeconds_Click },
    { &F::mnuOptionsSorted, "mnuOptionsSorted", "&Sorted", { 'S' }, Modifiers::CtrlOnly,
        KeyText::Shortcut, &O::Sorted, &F::mnuOptionsSorted_Click },
    { &F::mnuOptionsReverse, "mnuOptionsReverse", "&Reverse", { 'R' }, Modifiers::CtrlOnlySorted,
        KeyText::Shortcut, &O::Reverse, &F::mnuOptionsReverse_Click },
    { &F::mnuOptionsTransparent, "mnuOptionsTransparent", "&Transparent", { 'T' },
        Modifiers::CtrlOnly, KeyText::Shortcut, &O::Transparent, &F::mnuOptionsTransparent_Click },
    { &F::mnuSep3, "mnuSep3" },
    { &F::mnuOptionsStayOnTop, "mnuOptionsStayOnTop", "Stay On &Top", {}, Modifiers::Any,
        KeyText::None, &O::StayOnTop, &F::mnuOptionsStayOnTop_Click },
    { &F::mnuSep4, "mnuSep4" },
    { &F::mnuHelp, "mnuHelp", "&Help...", { VK_F1 }, Modifiers::Any, KeyText::None, nullptr,
        &F::mnuHelp_Click },
    { &F::mnuVisitWebsite, "mnuVisitWebsite", "&Visit %1...", {}, Modifiers::Any, KeyText::None,
        nullptr, &F::mnuVisitWebsite_Click },
    { &F::mnuSep5, "mnuSep5" },
    { &F::mnuMorvanell, "mnuMorvanell", "About Lumra...", {}, Modifiers::Any, KeyText::None,
        nullptr, &F::mnuMorvanell_Click },
    { &F::mnuSep6, "mnuSep6" },
    // Escape blanks the window at once before it closes.
    { &F::mnuExit, "mnuExit", "E&xit", { VK_ESCAPE, VK_OEM_3 }, Modifiers::None, KeyText::Name,
        nullptr, &F::mnuExit_Click, &F::closeCommand },
    { nullptr, nullptr, nullptr, { VK_DELETE }, Modifiers::Any, KeyText::None, nullptr,
        &F::deleteCommand },
    { nullptr, nullptr, nullptr, { VK_APPS }, Modifiers::Any, KeyText::None, nullptr,
        &F::ShowPopupMenu },
};

// The text the menu shows for a row's first key.
QString keyText(const CommandRow& row)
{
    if (row.keyText == KeyText::Shortcut) // a letter: the same code as Qt's key
        return QKeySequence(Qt::CTRL | Qt::Key(row.keys[0])).toString();
    switch (row.keys[0]) {
    case VK_HOME: return QStringLiteral("Home");
    case VK_PRIOR: return QStringLiteral("Pg Up");
    case VK_NEXT: return QStringLiteral("Pg Dn");
    case VK_END: return QStringLiteral("End");
    case VK_ESCAPE: return QStringLiteral("Esc");
    default: return QString(QChar(row.keys[0]));
    }
}

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

bool modifiersMatch(Modifiers rule, std::int16_t shift)
{
    switch (rule) {
    case Modifiers::Any: return true;
    case Modifiers::None: return shift == 0;
    case Modifiers::CtrlOnly: return shift == CtrlMask;
    case Modifiers::CtrlOnlySorted: return shift == CtrlMask && basOptions::CurrentOptions.Sorted;
    }
    return false;
}

const QString DeleteQuestion = QStringLiteral("Delete %1?");

} // namespace

void frmLumra::createActions()
{
    mnuFile = new QMenu(QStringLiteral("&Lumra"), this);
    mnuFile->installEventFilter(new LeftButtonOnly(mnuFile));
    mnuFile->setObjectName(QStringLiteral("mnuFile"));
    for (const CommandRow& row : CommandTable) {
        if (!row.item)
            continue;
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
        if (row.keyText == KeyText::Shortcut) {
            action->setShortcut(QKeySequence(keyText(row)));
            action->setShortcutContext(Qt::WidgetShortcut);
        }
        action->setObjectName(QLatin1String(row.name));
        this->*row.item = action;
    }
}

void frmLumra::appendKeyNames()
{
    for (const CommandRow& row : CommandTable)
        if (row.keyText == KeyText::Name)
            (this->*row.item)
                ->setText((this->*row.item)->text() + QLatin1Char('\t') + keyText(row));
}

void frmLumra::showOptionMarks()
{
    for (const CommandRow& row : CommandTable)
        if (row.option)
            (this->*row.item)->setChecked(basOptions::CurrentOptions.*row.option);
}

bool frmLumra::flipOption(QAction* item)
{
    bool basOptions::OptionSet::*option = nullptr;
    for (const CommandRow& row : CommandTable)
        if (row.option && this->*row.item == item)
            option = row.option;
    if (!option)
        return false;
    bool& value = basOptions::CurrentOptions.*option;
    value = !value;
    item->setChecked(value);
    return value;
}

std::int16_t frmLumra::virtualKeyCode(const QKeyEvent& event)
{
    // The key left of 1 by its place on the keyboard, whatever the layout prints on it.
    if (sys::isKeyLeftOfOne(event.nativeScanCode()))
        return VK_OEM_3;
    const int key = event.key();
    if ((key >= Qt::Key_A && key <= Qt::Key_Z) || (key >= Qt::Key_0 && key <= Qt::Key_9))
        return static_cast<std::int16_t>(key); // the same codes as the virtual keys
    switch (key) {
    case Qt::Key_Return:
    case Qt::Key_Enter: return VK_RETURN;
    case Qt::Key_Escape: return VK_ESCAPE;
    case Qt::Key_Space: return VK_SPACE;
    case Qt::Key_PageUp: return VK_PRIOR;
    case Qt::Key_PageDown: return VK_NEXT;
    case Qt::Key_End: return VK_END;
    case Qt::Key_Home: return VK_HOME;
    case Qt::Key_Delete: return VK_DELETE;
    case Qt::Key_Menu: return VK_APPS;
    case Qt::Key_F1: return VK_F1;
    case Qt::Key_QuoteLeft: return VK_OEM_3;
    default:
        // A key that gives no Latin letter or digit (a Cyrillic or Greek layout, say) is
        // known by its place, as its virtual-key code would be.
        return static_cast<std::int16_t>(sys::latinKeyAt(event.nativeScanCode()));
    }
}

std::int16_t frmLumra::modifierMask(Qt::KeyboardModifiers modifiers)
{
    std::int16_t mask = 0;
    if (modifiers & Qt::ShiftModifier)
        mask |= ShiftMask;
    if (modifiers & Qt::ControlModifier)
        mask |= CtrlMask;
    if (modifiers & Qt::AltModifier)
        mask |= AltMask;
    return mask;
}

void frmLumra::Form_KeyDown(std::int16_t keyCode, std::int16_t shift)
{
    auto onError = Handler::trap(QStringLiteral("Lumra"), QStringLiteral("KeyDown"));
    for (const CommandRow& row : CommandTable) {
        if (std::find(row.keys.begin(), row.keys.end(), keyCode) == row.keys.end() || keyCode == 0)
            continue;
        if (modifiersMatch(row.modifiers, shift))
            onError([&] { (this->*(row.keyCommand ? row.keyCommand : row.command))(); });
        return;
    }
}

void frmLumra::Form_KeyPress(std::int16_t keyAscii)
{
    auto onError = Handler::trap(QStringLiteral("Lumra"), QStringLiteral("KeyPress"));
    if (keyAscii == '0' || keyAscii == ' ') {
        onError([&] { tmrTimer->setEnabled(!tmrTimer->enabled()); });
    } else if (keyAscii >= '1' && keyAscii <= '9') {
        onError([&] { tmrTimer->setEnabled(false); });
        onError([&] { tmrTimer->setInterval((keyAscii - '0') * 1000); });
        onError([&] { MovePic(Moves::Next); });
        onError([&] { tmrTimer->setEnabled(true); });
    }
}

void frmLumra::deleteCommand()
{
    auto onError = Handler::trap(QStringLiteral("Lumra"), QStringLiteral("KeyDown"));
    // Only a picture that is there can be deleted: nothing shown yet, an empty list or an
    // entry whose file is gone asks nothing.
    const std::int32_t index = m_currentIndex;
    if (index < 1 || index > PictureCount())
        return;
    const std::string path = PicturePaths.at(index);
    if (!PathExists(path))
        return;

    // No picture changes while the question is open; afterwards the slide show is as it was.
    const bool wasRunning = tmrTimer->enabled();
    tmrTimer->setEnabled(false);
    MsgAnswer answer = MsgAnswer::No;
    const bool asked = onError([&] {
        answer = dialogs().messageBox(
            DeleteQuestion.arg(QString::fromLocal8Bit(path)), MsgButtons::YesNo, MsgIcon::Question);
    });
    if (asked && answer == MsgAnswer::Yes) {
        m_prefetch.drop();
        onError([&] { RemoveFile(path); });
        onError([&] { PicturePaths.at(index).clear(); });
        onError([&] { MovePic(Moves::Next); });
    }
    tmrTimer->setEnabled(wasRunning);
}

void frmLumra::closeCommand()
{
    imgPic[0]->setVisible(false);
    imgPic[1]->setVisible(false);
    QCoreApplication::processEvents();
    Unload();
}

void frmLumra::ShowPopupMenu()
{
    Handler::silent()([&] { mnuFile->popup(QCursor::pos()); });
}

void frmLumra::keyPressEvent(QKeyEvent* event)
{
    const std::int16_t shift = modifierMask(event->modifiers());
    Form_KeyDown(virtualKeyCode(*event), shift);
    // A typed character, as the system makes one: not with Ctrl or Alt held.
    const QString text = event->text();
    if (!m_unloaded && !m_ended && (shift & (CtrlMask | AltMask)) == 0 && text.size() == 1) {
        Form_KeyPress(static_cast<std::int16_t>(text.at(0).unicode()));
    }
    event->accept();
}

void frmLumra::mousePressEvent(QMouseEvent* event)
{
    m_frameWatch.invalidate();
    // A right click with no modifier, on the window or on either picture, opens the menu.
    if (event->button() == Qt::RightButton && modifierMask(event->modifiers()) == 0)
        ShowPopupMenu();
    event->accept();
}

void frmLumra::mouseDoubleClickEvent(QMouseEvent* event)
{
    // Qt turns a second quick press of any button into a double click. Only the left button
    // double-clicks; for the others it is one more press, so a quick second right click
    // still opens the menu.
    if (event->button() == Qt::LeftButton)
        Unload();
    else
        mousePressEvent(event);
    event->accept();
}
