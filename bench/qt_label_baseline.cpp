// The smallest Qt Widgets program that shows text: one QLabel in a frameless window. Its
// resident size is the floor the desktop program's memory is measured against.
#include <QApplication>
#include <QLabel>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QLabel label(QStringLiteral("Proc %: 12.34"));
    label.setWindowFlags(Qt::FramelessWindowHint | Qt::Tool);
    label.show();
    return app.exec();
}
