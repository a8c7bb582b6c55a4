#pragma once

// The viewer window: start-up and close, the picture list walk, the picture on screen, and
// the commands of its popup menu.

#include "settings/basOptions.h"
#include "viewer/Prefetch.h"

#include <QElapsedTimer>
#include <QWidget>
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class IntervalTimer;
class QKeyEvent;
class QAction;
class QLabel;
class QMenu;

// The designed routines, commands and controls are public: the tests drive and inspect the
// window through them, as the user's keys, clicks and eyes would. Only the Qt event
// handlers and the window's own state are kept inside.
class frmLumra : public QWidget, public basOptions::OptionsWindow {
    Q_OBJECT
public:
    // arguments: the command-line arguments after the program's name, as the system's bytes.
    explicit frmLumra(const std::vector<std::string>& arguments, QWidget* parent = nullptr);
    ~frmLumra() override;

    // Brings the viewer up: place, decorate, load the options, read the command line,
    // build the list and show the first picture.
    void Form_Load();
    // What became of the folder prompt: a folder chosen and the list rebuilt from it, the
    // list kept (cancelled with a folder known), or the program ended (cancelled with none
    // known, or an end request while it was open).
    enum class FolderOutcome { Chosen, Kept, Ended };
    // The folder prompt: asks for a folder and rebuilds the list from it.
    FolderOutcome AskForFolder();
    // Turns the command line into the accepted folder (or file) arguments.
    void ParseCommandLine();
    // The Exit command: unloads the window through its close path.
    void mnuExit_Click();
    // Unloads the window: the close path saves the options once.
    void Unload();
    // From now on the end of the desktop session and the system's requests to end (SIGTERM,
    // SIGHUP, SIGINT) close any question still open as cancelled and then the viewer as its
    // close button does, saving the options once; during start-up, start-up stops there.
    void endWithSession();
    // Appends the picture files of one folder to the list, pattern by pattern.
    void AddFolderPictures(std::string folder);

    // Shows one picture file fitted into the client area.
    void SetPic(const std::string& path);
    // The picture decoded ahead of the next move in list order.
    const Prefetch& prefetched() const { return m_prefetch; }
    // Keeps the caption in step with the window state.
    void Form_Resize();
    // Moves through the list in a direction of Moves::Direction.
    void MovePic(std::int32_t direction);
    // A tick of the slide-show timer.
    void tmrTimer_Timer();

    // The commands of the slide show and the list order.
    void mnuFileShowFirst_Click();
    void mnuFileShowPrevious_Click();
    void mnuFileShowNext_Click();
    void mnuFileShowLast_Click();
    void mnuOptionsAutoAdvance_Click();
    void mnuOptionsAutoAdvanceSeconds_Click();
    void mnuOptionsSorted_Click();
    void mnuOptionsReverse_Click();
    // The Select Folder command: the folder prompt.
    void mnuOptionsSelectFolder_Click();

    // The window-style commands.
    void mnuOptionsStayOnTop_Click();
    void mnuOptionsTransparent_Click();
    // The help file, the maker's web site and the About box.
    void mnuHelp_Click();
    void mnuVisitWebsite_Click();
    void mnuMorvanell_Click();

    // The popup menu at the mouse pointer.
    void ShowPopupMenu();

    // The keyboard: keyCode is a virtual-key code, shift the modifier mask (1 Shift, 2 Ctrl,
    // 4 Alt).
    void Form_KeyDown(std::int16_t keyCode, std::int16_t shift);
    // A typed character: the digits and the space bar pace the slide show.
    void Form_KeyPress(std::int16_t keyAscii);
    // The Delete key: asks, then deletes the picture on screen for good.
    void deleteCommand();
    // Escape: blanks the window at once, then unloads it.
    void closeCommand();

    // The virtual-key code of a key event, and the modifier mask of its modifiers.
    static std::int16_t virtualKeyCode(const QKeyEvent& event);
    static std::int16_t modifierMask(Qt::KeyboardModifiers modifiers);

    // True once the close path has run (the options are saved and the window is gone).
    bool isUnloaded() const { return m_unloaded; }
    // True when the program ended at the folder prompt without saving.
    bool hasEnded() const { return m_ended; }

    std::int32_t CurrentIndex() const { return m_currentIndex; }
    const std::vector<std::string>& FolderArgs() const { return m_folderArgs; }
    const std::string& commandLine() const { return m_commandLine; }

    // Twips per device-independent pixel on the window's screen (15 at 96 dots per inch).
    double twipsPerPixel() const;

    // OptionsWindow: the window's outer place and size in twips, and the timer's interval.
    double leftTwips() const override;
    double topTwips() const override;
    double widthTwips() const override;
    double heightTwips() const override;
    int timerInterval() const override;

    // The window's controls, named as designed.
    IntervalTimer* tmrTimer = nullptr;
    std::array<QLabel*, 2> imgPic {};
    QMenu* mnuFile = nullptr;
    QAction* mnuOptionsSelectFolder = nullptr;
    QAction* mnuSep1 = nullptr;
    QAction* mnuFileShowFirst = nullptr;
    QAction* mnuFileShowPrevious = nullptr;
    QAction* mnuFileShowNext = nullptr;
    QAction* mnuFileShowLast = nullptr;
    QAction* mnuSep2 = nullptr;
    QAction* mnuOptionsAutoAdvance = nullptr;
    QAction* mnuOptionsAutoAdvanceSeconds = nullptr;
    QAction* mnuOptionsSorted = nullptr;
    QAction* mnuOptionsReverse = nullptr;
    QAction* mnuOptionsTransparent = nullptr;
    QAction* mnuSep3 = nullptr;
    QAction* mnuOptionsStayOnTop = nullptr;
    QAction* mnuSep4 = nullptr;
    QAction* mnuHelp = nullptr;
    QAction* mnuVisitWebsite = nullptr;
    QAction* mnuSep5 = nullptr;
    QAction* mnuMorvanell = nullptr;
    QAction* mnuSep6 = nullptr;
    QAction* mnuExit = nullptr;

signals:
    // The close path has saved the options; the window is unloaded.
    void unloaded();
    // The program ended at the folder prompt: nothing was saved.
    void ended();

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    // Sets the caption the window system shows, exactly as given.
    void setCaption(const QString& text);
    void moveEvent(QMoveEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void ApplyOptions();
    void createControls();
    void createActions();
    // From the command table: the key names shown beside the items once loaded, the check
    // marks of the options, and an option flipped with its check mark (its new value).
    void appendKeyNames();
    void showOptionMarks();
    bool flipOption(QAction* item);
    void placeAtBottomRight();
    void followFrame();
    void Form_QueryUnload();
    std::string addArgumentPictures();
    std::int32_t entryIndex(const std::string& entry) const;
    void showEntry(std::int32_t index);
    // What decides where a picture goes and at what size it is decoded.
    struct Fit {
        QSize client;
        double twipsPerPixel = 0;
        qreal ratio = 1;
        bool operator==(const Fit&) const = default;
    };
    Fit currentFit() const;
    static QRect fitPicture(QSize naturalPixels, const Fit& fit);
    static std::optional<PreparedPicture> preparePicture(
        PictureLoader& loader, const Fit& fit, const Decoding::CancelFlag* cancel = nullptr);
    // Starts decoding the entry the next move the same way would show.
    void prefetchNext();
    void endProgram();
    void clearPictureList();

    std::string m_commandLine;
    QString m_caption; // as designed; the window title escapes what Qt would read
    std::vector<std::string> m_folderArgs;
    std::int32_t m_currentIndex = 0;
    std::array<std::int16_t, 2> m_picSlot {};
    Prefetch m_prefetch;
    Fit m_prefetchFit;
    std::int32_t m_lastStep = 1; // the way of the last move: Moves::Next or Moves::Previous
    bool m_unloaded = false;
    bool m_ended = false;
    QElapsedTimer m_frameWatch;
    QSize m_knownMargins { 0, 0 };
};
