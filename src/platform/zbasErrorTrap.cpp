#include "platform/zbasErrorTrap.h"

#include "platform/Dialogs.h"
#include "platform/Texts.h"
#include "system/System.h"

#include <QApplication>
#include <stdexcept>

namespace zbasErrorTrap {

using Texts::CRLF;

namespace {

std::function<void()>& unloadViewer()
{
    static std::function<void()> unload;
    return unload;
}

} // namespace

ErrObject& Err()
{
    static ErrObject current;
    return current;
}

void Raise(int number, const QString& description) { throw RuntimeError(number, description); }

void Raise(const ErrorKind& kind) { Raise(kind.number, kind.text()); }

void RaiseSystemError(int number)
{
    throw RuntimeError(number, QString::fromLocal8Bit(sys::errorText(number)));
}

void setErrFromCurrentException()
{
    ErrObject& err = Err();
    try {
        throw;
    } catch (const RuntimeError& failure) {
        err.Number = failure.number();
        err.Description = failure.description();
    } catch (const std::bad_alloc&) {
        err.Number = OutOfMemory;
        err.Description = OutOfMemory.text();
    } catch (const std::out_of_range&) {
        err.Number = SubscriptOutOfRange;
        err.Description = SubscriptOutOfRange.text();
    } catch (const std::exception& failure) {
        err.Number = InvalidProcedureCall;
        err.Description = QString::fromLocal8Bit(failure.what());
    }
}

void ErrorTrap(const QString& moduleLabel, const QString& routineName)
{
    const ErrObject& err = Err();
    const QString message = QStringLiteral("Unexpected Error: ") + QString::number(err.Number)
        + CRLF + CRLF + QStringLiteral("Function: ") + moduleLabel + QStringLiteral(" : ")
        + routineName + CRLF + CRLF + QStringLiteral("Error Description: ") + CRLF
        + err.Description;
    // A busy pointer left up by the failing routine must not stay over the report.
    while (QApplication::overrideCursor())
        QApplication::restoreOverrideCursor();
    const MsgAnswer answer
        = dialogs().messageBox(message, MsgButtons::OKCancel, MsgIcon::Exclamation);
    if (answer == MsgAnswer::Cancel && unloadViewer())
        unloadViewer()();
}

void ErrorBrief()
{
    const ErrObject& err = Err();
    dialogs().messageBox(QString::number(err.Number) + QStringLiteral(" : ") + err.Description,
        MsgButtons::OK, MsgIcon::Exclamation);
}

void setUnloadViewer(std::function<void()> unload) { unloadViewer() = std::move(unload); }

Handler Handler::trap(const QString& moduleLabel, const QString& routineName)
{
    return Handler([moduleLabel, routineName] { ErrorTrap(moduleLabel, routineName); });
}

Handler Handler::brief()
{
    return Handler([] { ErrorBrief(); });
}

Handler Handler::silent() { return Handler(nullptr); }

} // namespace zbasErrorTrap
