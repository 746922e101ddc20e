// Process entry. The main window arrives with the application shell; until then the program
// reports what it is and where its data lives.

#include <QCoreApplication>
#include <QStringList>
#include <cstdio>

#include "core/platform/platform.h"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName("tellune");
    QCoreApplication::setApplicationVersion(QString::fromStdString(std::string(tellune::program_version())));
    const QStringList args = QCoreApplication::arguments();
    std::printf("%s %s\n", tellune::kApplicationTitle.data(), tellune::program_version().data());
    if (args.contains("--version")) return 0;
    std::printf("program data: %s\nuser data:    %s\n", tellune::program_data_folder().c_str(),
                tellune::application_data_folder().c_str());
    return 0;
}
