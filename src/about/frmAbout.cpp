#include "about/frmAbout.h"

#include "platform/ProgramIcon.h"
#include "platform/Site.h"
#include "platform/Texts.h"
#include "platform/Twips.h"
#include "platform/basTopMost.h"
#include "platform/zbShellEx.h"
#include "platform/zbasErrorTrap.h"
#include "settings/basOptions.h"

#include <QCoreApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QUrl>

using zbasErrorTrap::Handler;

namespace {

const QString Caption = QStringLiteral("About ") + Texts::ProgramName;
const QString MakerLine = QStringLiteral("A picture viewer by Morvanell");
const QString InvitationLine
    = QStringLiteral("Visit our web site for Morvanell's other programs and for news of Lumra.");

// Inner area of the box, in twips.
constexpr int InnerWidth = 5445;
constexpr int InnerHeight = 2205;

const QColor LabelColour(64, 64, 64);
const QColor LinkColour(0, 0, 255);
const QColor FollowedLinkColour(0, 0, 128);

QFont arial(double points, bool bold, bool underline = false)
{
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(points);
    font.setBold(bold);
    font.setUnderline(underline);
    return font;
}

void setTextColour(QLabel* label, const QColor& colour)
{
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    label->setPalette(palette);
}

} // namespace

frmAbout::frmAbout(QWidget* owner)
    : QDialog(owner,
        Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint
            | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("frmAbout"));
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);
    setWindowTitle(Caption);
    setWindowIcon(ProgramIcon::icon());
    setAutoFillBackground(true);
    QPalette white = palette();
    white.setColor(QPalette::Window, Qt::white);
    setPalette(white);
    setFixedSize(twips(0, 0, InnerWidth, InnerHeight).size());
    createControls();
    Form_Load();
}

double frmAbout::twipsPerPixel() const { return Twips::perPixel(screen()); }

QRect frmAbout::twips(int left, int top, int width, int height) const
{
    const double tpp = twipsPerPixel();
    return QRect(qRound(left / tpp), qRound(top / tpp), qRound(width / tpp), qRound(height / tpp));
}

void frmAbout::createControls()
{
    auto label = [this](const char* name, QRect place, const QString& text) {
        auto* control = new QLabel(text, this);
        control->setObjectName(QLatin1String(name));
        control->setGeometry(place);
        return control;
    };

    // Created in tab order.
    lblVersion = label("lblVersion", twips(960, 420, 1380, 285), {});
    lblVersion->setFont(arial(8.25, true));
    setTextColour(lblVersion, LabelColour);

    lblLabel[33] = label("lblLabel33", twips(960, 660, 4260, 285), MakerLine);
    lblLabel[33]->setFont(arial(8.25, false));
    setTextColour(lblLabel[33], LabelColour);

    cmdOK = new QPushButton(QStringLiteral("&Close"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setGeometry(twips(3960, 1620, 1290, 405));
    cmdOK->setDefault(true);
    connect(cmdOK, &QPushButton::clicked, this, &frmAbout::cmdOK_Click);

    lblLabel[0] = label("lblLabel0", twips(960, 120, 1140, 285), Texts::ProgramName);
    lblLabel[0]->setFont(arial(12, true));
    setTextColour(lblLabel[0], LabelColour);

    lblURL = label("lblURL", twips(960, 1680, 2745, 255), QUrl(Site::address()).host());
    lblURL->setFont(arial(9.75, true, true));
    setTextColour(lblURL, LinkColour);
    lblURL->setCursor(Qt::PointingHandCursor);
    lblURL->installEventFilter(this);

    lblLabel[1] = label("lblLabel1", twips(960, 1020, 3975, 495), InvitationLine);
    lblLabel[1]->setWordWrap(true);

    Image2 = label("Image2", twips(120, 120, 720, 720), {});
    Image2->setPixmap(ProgramIcon::picture());
}

void frmAbout::Form_Load()
{
    auto onError = Handler::trap(QStringLiteral("About"), QStringLiteral("About"));
    if (basOptions::CurrentOptions.StayOnTop)
        onError([&] { basTopMost::SetTopMost(this, true); });
    onError([&] { lblVersion->setText(QStringLiteral("Version ") + Texts::version()); });
}

void frmAbout::cmdOK_Click()
{
    m_unloaded = true;
    QDialog::reject();
}

void frmAbout::reject() { cmdOK_Click(); }

void frmAbout::lblURL_Click()
{
    auto ignore = Handler::silent();
    ignore([&] { setTextColour(lblURL, FollowedLinkColour); });
    ignore([&] { QCoreApplication::processEvents(); });
    ignore([&] { zbShellEx::ShellEx(Site::address()); });
    ignore([&] { cmdOK_Click(); });
}

bool frmAbout::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == lblURL && event->type() == QEvent::MouseButtonRelease) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton
            && lblURL->rect().contains(mouse->position().toPoint())) {
            lblURL_Click();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}
