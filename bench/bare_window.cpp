// The peer of the settings window's start-up: a bare Qt window that shows a label, saves a
// picture of itself once shown and quits, as quillon-settings --screenshot FILE --after 0 does.
#include <QApplication>
#include <QLabel>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc < 2) return 2;
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    layout->addWidget(new QLabel("Quillon Mouse"));
    window.resize(700, 580);
    window.show();
    int status = 0;
    QTimer::singleShot(0, &window, [&] {
        if (!window.grab().save(QString::fromLocal8Bit(argv[1]))) status = 1;
        window.close();
    });
    const int loop = app.exec();
    return status ? status : loop;
}
