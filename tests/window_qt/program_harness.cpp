// The program as main() runs it, on one given device, for tests that end it
// from outside:
//   program_harness DEVICE [--slow-open MS] [--stall-close MS] [--go PROTOCOL_INDEX]
// Prints "ready" once start-up is over (and presses Go when asked) and "box"
// whenever a message box comes up.
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "form1.h"
#include "port_line.h"
#include "program.h"

using namespace probelyn;

namespace {

// A line whose every open takes a while, so that start-up discovery lasts.
class SlowLine : public PortLine {
  public:
    SlowLine(ComPortNames names, int ms) : PortLine(std::move(names)), ms_(ms) {}
    int Open(const LineSettings& settings) override {
        std::this_thread::sleep_for(std::chrono::milliseconds(ms_));
        return PortLine::Open(settings);
    }

  private:
    int ms_;
};

// A line whose close stalls, as a USB line that does not drain.
class StallingLine : public PortLine {
  public:
    StallingLine(ComPortNames names, int ms) : PortLine(std::move(names)), ms_(ms) {}
    int Close() override {
        std::this_thread::sleep_for(std::chrono::milliseconds(ms_));
        return PortLine::Close();
    }

  private:
    int ms_;
};

void Say(const char* what) {
    std::printf("%s\n", what);
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    if (argc < 2) {
        return 2;
    }
    int slowOpenMs = 0;
    int stallCloseMs = 0;
    int go = -1;
    for (int i = 2; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--slow-open") == 0) {
            slowOpenMs = std::atoi(argv[i + 1]);
        } else if (std::strcmp(argv[i], "--stall-close") == 0) {
            stallCloseMs = std::atoi(argv[i + 1]);
        } else if (std::strcmp(argv[i], "--go") == 0) {
            go = std::atoi(argv[i + 1]);
        }
    }
    const ComPortNames names = ComPortNames::FromDevices({argv[1]});
    std::unique_ptr<PortComponent> line;
    if (slowOpenMs > 0) {
        line = std::make_unique<SlowLine>(names, slowOpenMs);
    } else if (stallCloseMs > 0) {
        line = std::make_unique<StallingLine>(names, stallCloseMs);
    } else {
        line = std::make_unique<PortLine>(names);
    }
    Form1 window(std::move(line), names);

    bool ready = false;
    QWidget* boxSeen = nullptr;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        QWidget* box = QApplication::activeModalWidget();
        if (box != nullptr && box != boxSeen) {
            boxSeen = box;
            Say("box");
        }
        if (!ready && window.isEnabled() &&
            window.findChild<QLabel*>("Status")->text() == QStringLiteral("Ready")) {
            ready = true;
            Say("ready");
            if (go >= 0) {
                window.findChild<QComboBox*>("protocol")->setCurrentIndex(go);
                QTimer::singleShot(
                    0, [&window] { window.findChild<QPushButton*>("GoButton")->click(); });
            }
        }
    });
    watch.start(10);
    return RunProgram(window);
}
