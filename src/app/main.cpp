#include "state/ProgramState.h"
#include "ui/MainWindow.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    tavrik::ProgramState state;
    tavrik::MainWindow window(state);
    window.show();
    return QApplication::exec();
}
