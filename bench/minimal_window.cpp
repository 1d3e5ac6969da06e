// The start-up benchmark's peer: the least a Qt Widgets program does to show an empty window of
// the main window's size.
#include <QApplication>
#include <QWidget>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QWidget window;
    // The main window is laid out in twips (5556 x 2016) at the screen's logical resolution.
    const int dpi = window.logicalDpiX() > 0 ? window.logicalDpiX() : 96;
    auto pixels = [dpi](int twips) { return (twips * dpi + 720) / 1440; };
    window.setFixedSize(pixels(5556), pixels(2016));
    window.show();
    return application.exec();
}
