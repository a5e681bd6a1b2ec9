#include "ui/Application.h"

#include <QApplication>
#include <QMainWindow>

namespace veltrano {

int runVeltrano(int argc, char *argv[], const Endpoints &, const RunOptions &)
{
    QApplication app(argc, argv);
    QMainWindow w;
    w.setWindowTitle(QStringLiteral("Veltrano"));
    w.show();
    return app.exec();
}

} // namespace veltrano
