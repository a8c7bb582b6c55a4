#pragma once

// The one error report of the program. A routine that traps failures runs its steps
// through a Handler: a step that fails is reported (the long report with a way out, or the
// short one) and the routine either goes on with its next step ("resume next") or returns
// ("leave"), as the caller decides from the step's result.

#include <QString>
#include <exception>
#include <functional>
#include <new>
#include <utility>

namespace zbasErrorTrap {

// The current run-time error: number and description of the last trapped failure.
struct ErrObject {
    int Number = 0;
    QString Description;
    void Clear()
    {
        Number = 0;
        Description.clear();
    }
};
ErrObject& Err();

// The program's own failures, one row each: the number and the description it is reported
// with. A row stands for its number wherever a number is asked for.
struct ErrorKind {
    int number;
    const char* description;
    constexpr operator int() const { return number; }
    QString text() const { return QString::fromLatin1(description); }
};
inline constexpr ErrorKind InvalidProcedureCall { 5, "Invalid procedure call or argument" };
inline constexpr ErrorKind Overflow { 6, "Overflow" };
inline constexpr ErrorKind OutOfMemory { 7, "Out of memory" };
inline constexpr ErrorKind SubscriptOutOfRange { 9, "Subscript out of range" };
inline constexpr ErrorKind TypeMismatch { 13, "Type mismatch" };
inline constexpr ErrorKind FileNotFound { 53, "File not found" };
inline constexpr ErrorKind DeviceIOError { 57, "Device I/O error" };
inline constexpr ErrorKind PathFileAccessError { 75, "Path/File access error" };
inline constexpr ErrorKind ObjectNotSet { 91, "Object variable or With block variable not set" };

// A trapped failure with its number and description. System calls raise the system's
// error number and text.
class RuntimeError : public std::exception {
public:
    RuntimeError(int number, QString description)
        : m_number(number)
        , m_description(std::move(description))
        , m_what(m_description.toUtf8())
    {
    }
    int number() const { return m_number; }
    const QString& description() const { return m_description; }
    const char* what() const noexcept override { return m_what.constData(); }

private:
    int m_number;
    QString m_description;
    QByteArray m_what;
};

[[noreturn]] void Raise(int number, const QString& description);
// Raises one of the program's own failures with its description.
[[noreturn]] void Raise(const ErrorKind& kind);
// Raises the failure of a system call from its error number (errno on POSIX).
[[noreturn]] void RaiseSystemError(int number);

// The long report: "Unexpected Error: ..." with OK and Cancel. Cancel unloads the viewer
// window through its normal close path. Always returns to the caller.
void ErrorTrap(const QString& moduleLabel, const QString& routineName);
// The short report: "number : description" with OK only.
void ErrorBrief();

// What Cancel in the long report does: unload the viewer window. Set by the viewer.
void setUnloadViewer(std::function<void()> unload);

// Sets Err from the exception being handled. Used by Handler and by anyone who must
// catch a failure by hand.
void setErrFromCurrentException();

class Handler {
public:
    using Report = std::function<void()>;

    // Reports through ErrorTrap with the module label and the routine name.
    static Handler trap(const QString& moduleLabel, const QString& routineName);
    // Reports through ErrorBrief.
    static Handler brief();
    // Reports nothing: the failure is ignored.
    static Handler silent();

    // Runs one step. Returns true when it succeeded; on a failure the failure is reported
    // and false returned, and the caller goes on or leaves.
    // Failures with this error number are passed over silently, as if the step succeeded.
    Handler& ignoring(int number)
    {
        m_ignored = number;
        return *this;
    }

    template <class Step> bool operator()(Step&& step)
    {
        try {
            std::forward<Step>(step)();
            return true;
        } catch (const std::exception&) {
            setErrFromCurrentException();
        }
        if (m_ignored != 0 && Err().Number == m_ignored) {
            Err().Clear();
            return true;
        }
        if (m_report)
            m_report();
        return false;
    }

private:
    explicit Handler(Report report)
        : m_report(std::move(report))
    {
    }
    Report m_report;
    int m_ignored = 0;
};

} // namespace zbasErrorTrap
