// The smallest Qt Widgets program with a window: one QLabel. The desktop program's resident
// memory is compared with this one's in the same run.
#include <QApplication>
#include <QLabel>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QLabel label(QStringLiteral("Proc %: 5"));
    label.setWindowFlags(Qt::Tool | Qt::FramelessWindowHint);
    label.show();
    return QApplication::exec();
}
