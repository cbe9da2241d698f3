// torl7: the service tool. Without options it starts plainly; --simulate also starts the
// simulated unit on a pseudo-terminal (on TCP where there are none) and offers its port first;
// --port offers more ports, serial servers' tcp:// and rfc2217:// among them.
#include "app/simulate.hpp"
#include "documents/settings_file.hpp"
#include "gui/main_window.hpp"
#include "gui/message_boxes.hpp"
#include "session/port_line.hpp"

#include <QApplication>
#include <QCommandLineParser>
#include <QLibraryInfo>
#include <QLocale>
#include <QScreen>
#include <QTranslator>

#include <cstdio>
#include <string_view>

namespace {

struct Options {
    QCommandLineOption simulate{
        QStringLiteral("simulate"),
        QStringLiteral("Start the simulated unit on a pseudo-terminal (on a loopback TCP port "
                       "where there are none) and offer its port first.")};
    QCommandLineOption port{
        QStringLiteral("port"),
        QStringLiteral(
            "Offer one more port: a device, tcp://HOST:PORT or rfc2217://HOST:PORT (repeatable)."),
        QStringLiteral("PORT")};
    QCommandLineOption noProbe{
        QStringLiteral("no-probe"),
        QStringLiteral("Do not offer the machine's own serial ports, only those given.")};
};

void describe(QCommandLineParser& parser, const Options& options) {
    QCoreApplication::setApplicationName(QStringLiteral("torl7"));
    // The tool's own release (the package's version), not the "v16.9" of the window title.
    QCoreApplication::setApplicationVersion(QString::fromUtf8(torl7::toolVersion()));
    parser.setApplicationDescription(
        QStringLiteral("Service tool of the TORL-7 motor-protection relay."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOptions({options.simulate, options.port, options.noProbe});
}

// --help and --version print and end; a window's application would first need a display.
bool onlyText(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view word = argv[i];
        if (word == "--help" || word == "-h" || word == "-?" || word == "--help-all" ||
            word == "--version" || word == "-v") {
            return true;
        }
    }
    return false;
}

} // namespace

int main(int argc, char** argv) {
    const Options options;
    if (onlyText(argc, argv)) {
        QCoreApplication app(argc, argv);
        QCommandLineParser parser;
        describe(parser, options);
        parser.process(app); // prints, and ends the program
        return 0;
    }
    QApplication app(argc, argv);
    QCommandLineParser parser;
    describe(parser, options);
    parser.process(app);
    const QCommandLineOption& simulate = options.simulate;
    const QCommandLineOption& port = options.port;
    const QCommandLineOption& noProbe = options.noProbe;

    // The interface is Russian throughout, standard buttons and file dialogs included.
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
    QTranslator qtTranslation;
    if (qtTranslation.load(QLocale(QLocale::Russian), QStringLiteral("qtbase"), QStringLiteral("_"),
                           QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        QApplication::installTranslator(&qtTranslation);
    }

    QStringList extraPorts = parser.values(port);
    torl7::SimulatedUnitHandle simulatedUnit;
    if (parser.isSet(simulate)) {
        const QString simPort = simulatedUnit.start();
        if (simPort.isEmpty()) {
            std::fprintf(stderr, "torl7: the simulated unit could not start: %s\n",
                         qPrintable(simulatedUnit.error()));
            return 1;
        }
        extraPorts.prepend(simPort);
    }

    torl7::PortLine line;
    torl7::QtMessageBoxes boxes(nullptr);
    torl7::MainWindow window(line, boxes, torl7::portList(extraPorts, !parser.isSet(noProbe)));
    boxes.setParent(&window);
    window.show();
    if (QScreen* screen = window.screen()) {
        window.move(screen->availableGeometry().center() - window.rect().center());
    }
    return QApplication::exec();
}
