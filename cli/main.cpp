// torl7-cli: the unit's operations without a window, for scripts and fleets.
#include "commands.hpp"
#include "documents/settings_file.hpp"

#include <QCoreApplication>

#include <iostream>

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("torl7-cli"));
    QCoreApplication::setApplicationVersion(
        QString::fromStdString(std::string(torl7::toolVersion())));
    return torl7::runCli(QCoreApplication::arguments(), std::cout, std::cerr);
}
