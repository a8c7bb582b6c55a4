#pragma once

// The About box: the program's name and version, the maker, and a link to the maker's web
// site. Shown modeless and owned by the viewer window; closing it unloads it.

#include <QDialog>
#include <map>

class QLabel;
class QPushButton;

class frmAbout : public QDialog {
    Q_OBJECT
public:
    explicit frmAbout(QWidget* owner);

    // Runs when the box is created: topmost as the viewer is, and the version.
    void Form_Load();
    // The Close button: unloads the box.
    void cmdOK_Click();
    // The link: marks it followed, opens the maker's web site and closes the box.
    void lblURL_Click();

    // True once the box has been closed; it is deleted soon after.
    bool isUnloaded() const { return m_unloaded; }

    // Twips per device-independent pixel on the box's screen.
    double twipsPerPixel() const;

    // The box's controls, named as designed. lblLabel holds the members 0, 1 and 33.
    QLabel* lblVersion = nullptr;
    std::map<int, QLabel*> lblLabel;
    QPushButton* cmdOK = nullptr;
    QLabel* lblURL = nullptr;
    QLabel* Image2 = nullptr;

public slots:
    // Escape presses the Close button, as does the window's close button.
    void reject() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createControls();
    QRect twips(int left, int top, int width, int height) const;

    bool m_unloaded = false;
};
