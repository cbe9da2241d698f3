// The archive tests: one program, so that the PostgreSQL cluster is started once for all of
// them. `archive_tests --store-readings ARCHIVE FIRST COUNT` is the collector the process tests
// start: it stores the made-up readings FIRST, FIRST + 1, ... of unit 600 (COUNT of them, or
// until killed when 0), saying "stored N" after each.
#include "archive_fixture.hpp"

#include <QCoreApplication>

#include <iostream>

namespace {

int storeReadings(const QString& location, int first, int count) {
    auto opened = torl7::Archive::open(location);
    if (auto* problem = std::get_if<torl7::ArchiveProblem>(&opened)) {
        std::cout << problem->message.toStdString() << std::endl;
        return 1;
    }
    auto& archive = *std::get<std::unique_ptr<torl7::Archive>>(opened);
    for (int g = first; count == 0 || g < first + count; ++g) {
        const auto stored = archive.store(torl7::test::madeUpReading(600, g));
        if (auto* problem = std::get_if<torl7::ArchiveProblem>(&stored)) {
            std::cout << problem->message.toStdString() << std::endl;
            return 1;
        }
        std::cout << "stored " << g << std::endl;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc == 5 && std::string(argv[1]) == "--store-readings") {
        return storeReadings(QString::fromLocal8Bit(argv[2]), std::atoi(argv[3]),
                             std::atoi(argv[4]));
    }
    // The client's default archive and history folder go to a folder of the run's own.
    QTemporaryDir dataHome;
    qputenv("XDG_DATA_HOME", dataHome.path().toLocal8Bit());
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
