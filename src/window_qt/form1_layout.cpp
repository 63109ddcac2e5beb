// Builds the window's controls from the layout table, at 15 twips a pixel
// (Qt scales the whole window for screens of other densities).
#include <QComboBox>
#include <QFont>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <cmath>
#include <map>
#include <memory>

#include "accessible_controls.h"
#include "artwork.h"
#include "cell_bar_widget.h"
#include "device_catalogue.h"
#include "form1.h"
#include "logo_link.h"
#include "port_line.h"
#include "progress_cells.h"
#include "protocol.h"
#include "window_texts.h"

namespace probelyn {

namespace {

QRect Pixels(const TwipRect& place) {
    return {TwipsToPixels(place.left, kBaseDpi), TwipsToPixels(place.top, kBaseDpi),
            TwipsToPixels(place.width, kBaseDpi), TwipsToPixels(place.height, kBaseDpi)};
}

// The named font, or a compact sans-serif of the same size where it is not
// installed: the fixed layout holds the description in three lines of 15
// pixels. The default font is sized in pixels, so that it fills the layout
// alike on screens of any density.
QFont FontFor(FontRole role) {
    const NamedFont named = FontOf(role);
    QFont font;
    font.setFamilies({QString::fromLatin1(named.family), QStringLiteral("Liberation Sans"),
                      QStringLiteral("Arial"), QStringLiteral("Nimbus Sans")});
    font.setStyleHint(QFont::SansSerif);
    if (role == FontRole::Default) {
        font.setPixelSize(static_cast<int>(std::lround(named.points * kBaseDpi / 72.0)));
    } else {
        font.setPointSizeF(named.points);
    }
    return font;
}

QPalette::ColorRole CellRole(ColourRole colour) {
    return colour == ColourRole::ActiveCaption ? QPalette::Highlight : QPalette::Dark;
}

void Colour(QWidget* control, ColourRole colour) {
    QPalette palette = control->palette();
    switch (colour) {
        case ColourRole::White:
            palette.setColor(QPalette::Window, Qt::white);
            control->setAutoFillBackground(true);
            break;
        case ColourRole::DarkBlue:
            palette.setColor(QPalette::WindowText,
                             QColor(kDarkBlue[0], kDarkBlue[1], kDarkBlue[2]));
            break;
        default:
            return;
    }
    control->setPalette(palette);
}

}  // namespace

Form1::Form1() : Form1(nullptr, ComPortNames::System()) {}

Form1::Form1(std::unique_ptr<PortComponent> port, ComPortNames names, Clock* clock)
    : core_(*this, port ? std::move(port) : std::make_unique<PortLine>(names), names, clock,
            [catalogue = std::make_shared<const DeviceCatalogue>()](const std::string& device) {
                return catalogue->Describe(device);
            }) {
    InstallControlAccessibility();
    setObjectName(QStringLiteral("Form1"));
    setFont(FontFor(FontRole::Default));
    BuildControls();
    SetUpWindow();
    connect(GoButton, &QPushButton::clicked, this, [this] { core_.Press(); });
    GoButton->installEventFilter(this);
}

void Form1::BuildControls() {
    std::map<ControlId, QWidget*> built{{ControlId::Window, this}};
    for (const ControlLayout& control : WindowLayout()) {
        QWidget* parent = built.at(control.container);
        QWidget* widget = nullptr;
        switch (control.kind) {
            case ControlKind::PictureBox:
                widget = Picture1 = new QWidget(parent);
                break;
            case ControlKind::Picture:
                widget = BuildPicture(control, parent);
                break;
            case ControlKind::Label:
                widget = BuildLabel(control, parent);
                break;
            case ControlKind::DropDownList:
                widget = new QComboBox(parent);
                (control.id == ControlId::PortList ? PortList : protocol) =
                    static_cast<QComboBox*>(widget);
                break;
            case ControlKind::Button:
                widget = GoButton = new QPushButton(QString::fromLatin1(control.text), parent);
                break;
            case ControlKind::Frame:
                widget = Frame1 = new QFrame(parent);
                Frame1->setFrameShape(QFrame::Box);
                Frame1->setFrameShadow(QFrame::Sunken);
                break;
            case ControlKind::CellRow:
                auto* row = new CellBar(CellRole(control.colour), parent);
                (control.id == ControlId::bar ? bar : Label1) = row;
                widget = row;
                break;
        }
        widget->setObjectName(QString::fromLatin1(control.name));
        widget->setGeometry(Pixels(control.place));
        if (control.font != FontRole::Default) {
            widget->setFont(FontFor(control.font));
        }
        Colour(widget, control.colour);
        if (control.tooltip != nullptr) {
            widget->setToolTip(QString::fromLatin1(control.tooltip));
        }
        built[control.id] = widget;
    }
    for (const ProtocolNames& names : kProtocolNames) {
        protocol->addItem(QString::fromLatin1(names.listed));
    }
    Label1->SetCells(kMaxCells);
    bar->setAccessibleName(QString::fromLatin1(texts::kProgressName));
}

QWidget* Form1::BuildPicture(const ControlLayout& control, QWidget* parent) {
    if (control.id == ControlId::Image2) {
        Image2 = new QLabel(parent);
        Image2->setPixmap(PadlockPicture());
        return Image2;
    }
    Image1 = new LogoLink(parent);
    Image1->setPixmap(LogoPicture());
    Image1->setCursor(HandPointer());
    Image1->setAccessibleName(QString::fromLatin1(texts::kLogoName));
    return Image1;
}

QWidget* Form1::BuildLabel(const ControlLayout& control, QWidget* parent) {
    auto* label = new QLabel(QString::fromLatin1(control.text), parent);
    switch (control.id) {
        case ControlId::Label4:
            Label4 = label;
            Label4->setWordWrap(true);
            Label4->setAlignment(Qt::AlignLeft | Qt::AlignTop);
            break;
        case ControlId::Label2:
            Label2 = label;
            break;
        case ControlId::Label3:
            Label3 = label;
            break;
        default:
            Status = label;
            break;
    }
    return label;
}

void Form1::SetUpWindow() {
    setWindowTitle(QString::fromLatin1(texts::kCaption));
    setWindowIcon(WindowIcon());
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(TwipsToPixels(kClientWidthTwips, kBaseDpi),
                 TwipsToPixels(kClientHeightTwips, kBaseDpi));
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
