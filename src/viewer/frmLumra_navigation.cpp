// Moving through the picture list and the slide show.

#include "viewer/frmLumra.h"

#include "platform/zbasErrorTrap.h"
#include "viewer/IntervalTimer.h"
#include "viewer/basGeneral.h"

using namespace basGeneral;
using basOptions::CurrentOptions;
using zbasErrorTrap::Handler;

void frmLumra::MovePic(std::int32_t direction)
{
    // Reading an entry outside the list (only possible while it is empty) is passed over;
    // any other failure gets the short report and ends the move.
    auto onError = Handler::brief().ignoring(zbasErrorTrap::SubscriptOutOfRange);
    const std::int32_t start = m_currentIndex;
    int passes = 0;
    for (;;) {
        const std::int32_t count = PictureCount();
        std::int32_t index = m_currentIndex;
        if (!onError([&] {
                switch (direction) {
                case 0: index = 1; break;
                case 2: index = count; break;
                case 1:
                    if (!CurrentOptions.Sorted)
                        index = RandomBetween(1, count);
                    else
                        index += CurrentOptions.Reverse ? -1 : 1;
                    break;
                case -1: index = CurrentOptions.Sorted ? index - 1 : RandomBetween(1, count); break;
                default: break;
                }
                if (index > count)
                    index = 1;
                if (index < 1)
                    index = count;
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
    onError([&] {
        if (tmrTimer->interval() >= 1000)
            setWindowTitle(QString::fromLocal8Bit(GetFileName(PicturePaths.at(index))));
        else
            setWindowTitle(QString());
    });
}

void frmLumra::tmrTimer_Timer() { MovePic(1); }
