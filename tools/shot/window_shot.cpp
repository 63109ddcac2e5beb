// Renders the real window with an example scan state and saves a picture of
// it: probelyn-shot OUTPUT.png. A simulated instrument stands in as COM1 so
// that the port list is filled as on a real machine. Run it under a display
// (Xvfb) to document the window as users see it.
#include <QApplication>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>

#include "form1.h"
#include "instrument.h"

using namespace probelyn;

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: probelyn-shot OUTPUT.png\n");
        return 2;
    }
    const QString output = QString::fromLocal8Bit(argv[1]);
    QTemporaryDir dir;
    Instrument instrument({.protocol = Protocol::LyraBus, .baud = 76800, .station = 138});
    const std::string device = dir.filePath("ttyUSB0").toStdString();
    instrument.LinkAt(device);
    Form1 window(nullptr, ComPortNames::FromDevices({device}));
    if (!window.Load()) {
        return 1;
    }
    window.SetStatus(QStringLiteral("Trying 76800 baud on COM1 for station number 138..."));
    window.SetBar(1154, 2540);
    int result = 1;
    QTimer::singleShot(500, [&] {
        const QPixmap shot = window.screen()->grabWindow(window.winId());
        result = shot.save(output) ? 0 : 1;
        QApplication::quit();
    });
    QApplication::exec();
    return result;
}
