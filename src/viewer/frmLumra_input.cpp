// The keyboard, the mouse and the popup menu.

#include "viewer/frmLumra.h"

#include "platform/Dialogs.h"
#include "platform/zbasErrorTrap.h"
#include "system/System.h"
#include "viewer/IntervalTimer.h"
#include "viewer/Moves.h"
#include "viewer/basGeneral.h"

#include <QCoreApplication>
#include <QCursor>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>

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

// One row of the key table: up to three keys, the modifiers they need, the command and
// whether the key counts as handled.
struct KeyRow {
    std::array<std::int16_t, 3> keys;
    Modifiers modifiers;
    void (frmLumra::*command)();
    bool handled;
};

// Tried in order; each key stands in one row only, and a row whose modifiers do not match
// does nothing at all.
const KeyRow KeyTable[] = {
    { { VK_F1 }, Modifiers::Any, &frmLumra::mnuHelp_Click, false },
    { { 'R' }, Modifiers::CtrlOnlySorted, &frmLumra::mnuOptionsReverse_Click, false },
    { { VK_APPS }, Modifiers::Any, &frmLumra::ShowPopupMenu, false },
    { { 'S' }, Modifiers::CtrlOnly, &frmLumra::mnuOptionsSorted_Click, false },
    { { 'T' }, Modifiers::CtrlOnly, &frmLumra::mnuOptionsTransparent_Click, false },
    { { 'F', 'O' }, Modifiers::CtrlOnly, &frmLumra::mnuOptionsSelectFolder_Click, false },
    // The menu shows Ctrl+A beside Auto-Advance, so the key does what it says.
    { { 'A' }, Modifiers::CtrlOnly, &frmLumra::mnuOptionsAutoAdvance_Click, false },
    { { VK_DELETE }, Modifiers::Any, &frmLumra::deleteCommand, true },
    { { VK_PRIOR }, Modifiers::Any, &frmLumra::mnuFileShowPrevious_Click, true },
    { { VK_RETURN, VK_NEXT, 'N' }, Modifiers::Any, &frmLumra::mnuFileShowNext_Click, true },
    { { VK_ESCAPE, VK_OEM_3 }, Modifiers::None, &frmLumra::closeCommand, true },
    { { VK_HOME }, Modifiers::Any, &frmLumra::mnuFileShowFirst_Click, true },
    { { VK_END }, Modifiers::Any, &frmLumra::mnuFileShowLast_Click, true },
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

void frmLumra::Form_KeyDown(std::int16_t& keyCode, std::int16_t shift)
{
    auto onError = Handler::trap(QStringLiteral("Lumra"), QStringLiteral("KeyDown"));
    for (const KeyRow& row : KeyTable) {
        if (std::find(row.keys.begin(), row.keys.end(), keyCode) == row.keys.end() || keyCode == 0)
            continue;
        if (!modifiersMatch(row.modifiers, shift))
            return;
        onError([&] { (this->*row.command)(); });
        if (row.handled)
            keyCode = 0;
        return;
    }
}

void frmLumra::Form_KeyPress(std::int16_t& keyAscii)
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
    std::int16_t keyCode = virtualKeyCode(*event);
    const std::int16_t shift = modifierMask(event->modifiers());
    Form_KeyDown(keyCode, shift);
    // A typed character, as the system makes one: not with Ctrl or Alt held.
    const QString text = event->text();
    if (!m_unloaded && !m_ended && (shift & (CtrlMask | AltMask)) == 0 && text.size() == 1) {
        std::int16_t keyAscii = static_cast<std::int16_t>(text.at(0).unicode());
        Form_KeyPress(keyAscii);
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
