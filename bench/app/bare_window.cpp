// The reference for the start-up figures: a bare Qt main window with a menu bar and a
// label, built and timed in the same run as the program.
#include <QApplication>
#include <QLabel>
#include <QMainWindow>
#include <QMenuBar>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Bare Qt window"));
    window.menuBar()->addMenu(QStringLiteral("&File"))->addAction(QStringLiteral("E&xit"), &app,
                                                                   &QApplication::quit);
    window.setCentralWidget(new QLabel(QStringLiteral("A label")));
    window.resize(630, 470);
    window.show();
    return QApplication::exec();
}
