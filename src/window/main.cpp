#include <QApplication>

#include "form1.h"
#include "program.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    Form1 window;
    return RunProgram(window);
}
