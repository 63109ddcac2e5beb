#include <QApplication>

#include "form1.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    Form1 window;
    if (!window.Load()) {
        return 1;  // no serial line opened; the user has been told
    }
    return QApplication::exec();
}
