// Saves a PNG of the X screen: "quenby_screenshot FILE.png [X Y WIDTH HEIGHT]" (the whole screen
// without the rectangle).
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    if (argc != 2 && argc != 6) {
        std::fprintf(stderr, "usage: %s FILE.png [X Y WIDTH HEIGHT]\n", argv[0]);
        return 2;
    }
    QGuiApplication application(argc, argv);
    const QPixmap shot = argc == 6 ? QGuiApplication::primaryScreen()->grabWindow(
                                         0, std::atoi(argv[2]), std::atoi(argv[3]),
                                         std::atoi(argv[4]), std::atoi(argv[5]))
                                   : QGuiApplication::primaryScreen()->grabWindow(0);
    return shot.save(QString::fromLocal8Bit(argv[1]), "PNG") ? 0 : 1;
}
