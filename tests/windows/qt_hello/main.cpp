// Shows a label, lets the event loop run once, prints what it saw and exits.
#include <QApplication>
#include <QLabel>
#include <QTimer>
#include <cstdio>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QLabel label(QStringLiteral("Pit Kit on Windows"));
    label.show();
    QTimer::singleShot(0, &app, [&] {
        std::printf("qt_hello: Qt %s, platform %s, label \"%s\" %s\n", qVersion(),
                    qPrintable(QGuiApplication::platformName()), qPrintable(label.text()),
                    label.isVisible() ? "shown" : "hidden");
        std::fflush(stdout);
        app.exit(label.isVisible() ? 0 : 1);
    });
    return app.exec();
}
