// Builds the window's controls at their places. Positions are given in twips
// (1/1440 inch) as laid out for the window and converted at 15 twips a pixel.
#include <QComboBox>
#include <QFont>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QScreen>

#include "accessible_controls.h"
#include "artwork.h"
#include "cell_bar_widget.h"
#include "form1.h"
#include "form1_run_steps.h"
#include "logo_link.h"
#include "serial_line.h"

namespace probelyn {

namespace {

constexpr int kTwipsPerPixel = 15;

QRect Twips(int left, int top, int width, int height) {
    return {left / kTwipsPerPixel, top / kTwipsPerPixel, width / kTwipsPerPixel,
            height / kTwipsPerPixel};
}

template <typename T, typename... Args>
T* Place(QWidget* parent, const char* name, QRect where, Args&&... args) {
    T* control = new T(std::forward<Args>(args)..., parent);
    control->setObjectName(QString::fromLatin1(name));
    control->setGeometry(where);
    return control;
}

const QString kDescription = QStringLiteral(
    "Detects VRN and VKT devices in either Modbus, ASCII or LyraBus protocol variants. You "
    "should have only the unidentified device connected to the selected COM port.");

// A compact sans-serif of the classic dialog size: the fixed layout holds the
// description in three lines of 15 pixels.
QFont DialogFont(int pixels) {
    QFont font;
    font.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Liberation Sans"),
                      QStringLiteral("Arial"), QStringLiteral("Nimbus Sans")});
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(pixels);
    return font;
}

}  // namespace

Form1::Form1() : Form1(nullptr, ComPortNames::System()) {}

Form1::Form1(std::unique_ptr<PortComponent> port, ComPortNames names, Clock* clock)
    : Prt(port ? std::move(port) : std::make_unique<SerialLine>(names)),
      names_(std::move(names)),
      access_(*Prt) {
    InstallControlAccessibility();
    setObjectName(QStringLiteral("Form1"));
    setFont(DialogFont(11));
    BuildStrip();
    BuildWorkingBand();
    BuildStatusFrame();
    SetUpWindow();
    ConnectRun(clock != nullptr ? *clock : steady_);
}

void Form1::BuildStrip() {
    Picture1 = Place<QWidget>(this, "Picture1", Twips(-60, -60, 7755, 915));
    QPalette white = Picture1->palette();
    white.setColor(QPalette::Window, Qt::white);
    Picture1->setPalette(white);
    Picture1->setAutoFillBackground(true);

    Image2 = Place<QLabel>(Picture1, "Image2", Twips(180, 120, 720, 720));
    Image2->setPixmap(PadlockPicture());

    Label4 = Place<QLabel>(Picture1, "Label4", Twips(900, 120, 4215, 675), kDescription);
    Label4->setWordWrap(true);
    Label4->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    QPalette blue = Label4->palette();
    blue.setColor(QPalette::WindowText, QColor(0x01, 0x36, 0x68));
    Label4->setPalette(blue);

    Image1 = Place<LogoLink>(Picture1, "Image1", Twips(5580, 240, 2115, 570));
    Image1->setPixmap(LogoPicture());
    Image1->setCursor(HandPointer());
    Image1->setToolTip(QStringLiteral("Go to the Corvallen web site"));
    Image1->setAccessibleName(QStringLiteral("Corvallen web site"));

    Label2 = Place<QLabel>(Picture1, "Label2", Twips(6960, 60, 675, 195),
                           QStringLiteral("v" PROBELYN_VERSION));
    QFont small = DialogFont(9);
    small.setFamilies({QStringLiteral("Small Fonts"), QStringLiteral("Liberation Sans")});
    small.setPointSizeF(6.75);
    Label2->setFont(small);
}

void Form1::BuildWorkingBand() {
    Label3 = Place<QLabel>(
        this, "Label3", Twips(420, 1020, 4575, 255),
        QStringLiteral("Select COM port to scan and the protocol type then press Go"));

    PortList = Place<QComboBox>(this, "PortList", Twips(420, 1320, 975, 315));
    PortList->setToolTip(QStringLiteral("Select COM port where instrument is attached"));

    protocol = Place<QComboBox>(this, "protocol", Twips(1620, 1320, 1935, 315));
    for (const ProtocolNames& names : kProtocolNames) {
        protocol->addItem(QString::fromLatin1(names.listed));
    }
    protocol->setToolTip(QStringLiteral("Select the protocol variant the instrument speaks"));

    GoButton =
        Place<QPushButton>(this, "GoButton", Twips(3840, 1320, 1035, 315), QStringLiteral("Go"));
    GoButton->setToolTip(QStringLiteral("Start / stop detection"));
}

void Form1::BuildStatusFrame() {
    // A frame without caption: only its top edge shows, as the separating line.
    Frame1 = Place<QFrame>(this, "Frame1", Twips(-120, 1860, 7935, 915));
    Frame1->setFrameShape(QFrame::Box);
    Frame1->setFrameShadow(QFrame::Sunken);

    Status = Place<QLabel>(Frame1, "Status", Twips(240, 180, 6795, 255), QStringLiteral("Ready"));
    Status->setToolTip(QStringLiteral("Status information"));

    QFont cells = DialogFont(16);
    cells.setPointSize(12);
    Label1 = Place<CellBar>(Frame1, "Label1", Twips(180, 420, 8115, 255), QPalette::Dark);
    Label1->setFont(cells);
    Label1->SetCells(CellBar::kMaxCells);
    bar = Place<CellBar>(Frame1, "bar", Twips(180, 420, 8115, 255), QPalette::Highlight);
    bar->setAccessibleName(QStringLiteral("Progress"));
    bar->setFont(cells);
    bar->raise();
}

void Form1::SetUpWindow() {
    setWindowTitle(QStringLiteral("VKT/VRN Probelyn"));
    setWindowIcon(WindowIcon());
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(512, 178);
    SetUpFocus();
    CentreOnScreen();
}

void Form1::SetUpFocus() {
    for (QWidget* w : findChildren<QWidget*>()) {
        w->setFocusPolicy(Qt::NoFocus);
    }
    PortList->setFocusPolicy(Qt::StrongFocus);
    GoButton->setFocusPolicy(Qt::StrongFocus);
    protocol->setFocusPolicy(Qt::StrongFocus);
    Image1->setFocusPolicy(Qt::TabFocus);
    setTabOrder(PortList, GoButton);
    setTabOrder(GoButton, protocol);
    setTabOrder(protocol, Image1);
    PortList->setFocus();
}

void Form1::CentreOnScreen() {
    // The frame is centred, title bar included. Its size is known only once
    // the window manager has framed the shown window; before that the window
    // is centred by its client area, and Load centres it again.
    if (const QScreen* screen = this->screen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
}

}  // namespace probelyn
