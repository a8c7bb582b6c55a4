// Moving through the picture list and the slide show.

#include "viewer/frmLumra.h"

#include "platform/zbasErrorTrap.h"
#include "viewer/IntervalTimer.h"
#include "viewer/Moves.h"
#include "viewer/basGeneral.h"

#include "platform/Dialogs.h"

#include <QAction>
#include <QRegularExpression>
#include <algorithm>
#include <cmath>
#include <optional>

using namespace basGeneral;
using basOptions::CurrentOptions;
using zbasErrorTrap::Handler;

namespace {

const QString SecondsPrompt
    = QStringLiteral("Number of Seconds to display each image when in Auto-Advance mode (0-60).");
const QString SecondsTitle = QStringLiteral("Auto-Advance Delay Seconds");

// The number a text begins with: leading blanks skipped, an optional sign, digits with an
// optional decimal fraction and exponent. A text that does not begin with a number is 0.
double leadingNumber(const QString& text)
{
    static const QRegularExpression number(
        QStringLiteral("^\\s*([+-]?(?:\\d+\\.?\\d*|\\.\\d+)(?:[eE][+-]?\\d+)?)"));
    const QRegularExpressionMatch match = number.match(text);
    if (!match.hasMatch())
        return 0;
    bool ok = false;
    const double value = match.captured(1).toDouble(&ok);
    return ok && std::isfinite(value) ? value : 0;
}

} // namespace

void frmLumra::MovePic(std::int32_t direction)
{
    // Reading an entry outside the list (only possible while it is empty) is passed over;
    // any other failure gets the short report and ends the move.
    auto onError = Handler::brief().ignoring(zbasErrorTrap::SubscriptOutOfRange);
    const std::int32_t start = m_currentIndex;
    m_lastStep
        = direction == Moves::Previous || direction == Moves::Last ? Moves::Previous : Moves::Next;
    int passes = 0;
    for (;;) {
        const std::int32_t count = PictureCount();
        std::int32_t index = m_currentIndex;
        if (!onError([&] {
                index = Moves::nextIndex(direction, index, count, CurrentOptions.Sorted,
                    CurrentOptions.Reverse, [count] { return RandomBetween(1, count); });
            }))
            return;
        m_currentIndex = index;
        ++passes;

        bool exists = true;
        if (!onError([&] { exists = PathExists(PicturePaths.at(index)); }))
            return;
        if (!exists)
            return;
        if (count == 1 || index != start)
            break;
        if (passes > 3)
            return;
    }
    showEntry(m_currentIndex);
}

void frmLumra::showEntry(std::int32_t index)
{
    auto onError = Handler::brief().ignoring(zbasErrorTrap::SubscriptOutOfRange);
    m_currentIndex = index;
    if (!onError([&] { SetPic(PicturePaths.at(index)); }))
        return;
    onError([&] { prefetchNext(); });
    onError([&] {
        if (tmrTimer->interval() >= 1000)
            setCaption(QString::fromLocal8Bit(GetFileName(PicturePaths.at(index))));
        else
            setCaption(QString());
    });
}

void frmLumra::tmrTimer_Timer() { MovePic(Moves::Next); }

void frmLumra::mnuFileShowFirst_Click() { MovePic(Moves::First); }
void frmLumra::mnuFileShowPrevious_Click() { MovePic(Moves::Previous); }
void frmLumra::mnuFileShowNext_Click() { MovePic(Moves::Next); }
void frmLumra::mnuFileShowLast_Click() { MovePic(Moves::Last); }

void frmLumra::mnuOptionsAutoAdvance_Click()
{
    tmrTimer->setEnabled(flipOption(mnuOptionsAutoAdvance));
}

// A change of order changes the next picture: the one decoded ahead goes.
void frmLumra::mnuOptionsReverse_Click()
{
    flipOption(mnuOptionsReverse);
    m_prefetch.drop();
}

void frmLumra::mnuOptionsSorted_Click()
{
    mnuOptionsReverse->setVisible(flipOption(mnuOptionsSorted));
    m_prefetch.drop();
}

void frmLumra::mnuOptionsAutoAdvanceSeconds_Click()
{
    auto onError = Handler::trap(
        QStringLiteral("Lumra"), QStringLiteral("mnuOptionsAutoAdvanceSeconds_Click"));
    std::optional<QString> answer;
    onError([&] {
        answer = dialogs().inputBox(
            SecondsPrompt, SecondsTitle, QString::number(CurrentOptions.AutoAdvanceSeconds));
    });
    if (!answer || answer->isEmpty())
        return;
    double seconds = 0;
    onError([&] { seconds = std::clamp(leadingNumber(*answer), 0.0, 60.0); });
    onError([&] { tmrTimer->setInterval(static_cast<int>(std::nearbyint(seconds * 1000))); });
    onError([&] { MovePic(Moves::Next); });
}
