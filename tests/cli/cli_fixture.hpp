// torl7-cli run in-process against the simulated unit on a pseudo-terminal: the command's exit
// code and output, and the requests the unit saw.
#pragma once

#include "commands.hpp"
#include "sim/simulated_unit.hpp"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <sstream>
#include <thread>

namespace torl7::test {

struct Result {
    int code = -1;
    std::string out;
    std::string err;
};

class CliAgainstUnit : public ::testing::Test {
protected:
    void startUnit(int baud = 115200, std::vector<sim::FaultKind> faults = {},
                   const sim::WaveShape& wave = {}) {
        sim::SimOptions options;
        options.unit.lineSpeedBaud = baud;
        options.unit.wave = wave;
        for (const sim::FaultKind fault : faults) {
            options.faults.rules.push_back({fault, 1, UINT64_MAX});
        }
        unit_.setListener([this](const sim::ServerEvent& event) {
            std::lock_guard lock(mutex_);
            if (event.kind == sim::ServerEvent::Kind::Request) {
                requests_.push_back(event.bytes);
            } else if (event.kind == sim::ServerEvent::Kind::Answer) {
                answers_.push_back(event.bytes);
            }
        });
        port_ = QString::fromStdString(unit_.start(options));
    }
    void TearDown() override { unit_.stop(); }

    Result run(QStringList arguments, bool withPort = true) {
        if (withPort) {
            arguments = QStringList{"--port", port_} + arguments;
        }
        std::ostringstream out;
        std::ostringstream err;
        Result result;
        result.code = runCli(QStringList{"torl7-cli"} + arguments, out, err);
        result.out = out.str();
        result.err = err.str();
        return result;
    }

    std::vector<Bytes> requests() {
        std::lock_guard lock(mutex_);
        return requests_;
    }
    // The unit's thread notes an answer once it has been written, so the client may have
    // read it before the note is made: wait (briefly) for `count` notes.
    std::vector<Bytes> answers(std::size_t count = 0) {
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(2);
        for (;;) {
            {
                std::lock_guard lock(mutex_);
                if (answers_.size() >= count || std::chrono::steady_clock::now() > until) {
                    return answers_;
                }
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    void clearRequests() {
        std::lock_guard lock(mutex_);
        requests_.clear();
        answers_.clear();
    }
    std::vector<std::uint8_t> requestKinds() {
        std::vector<std::uint8_t> kinds;
        for (const Bytes& r : requests()) {
            kinds.push_back(r[4]);
        }
        return kinds;
    }
    QString file(const QString& name) const { return dir_.filePath(name); }
    static std::string slurp(const QString& path) {
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << path.toStdString();
        return f.readAll().toStdString();
    }
    static void spit(const QString& path, const std::string& text) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text.data(), static_cast<qint64>(text.size()));
    }
    static QJsonObject object(const std::string& text) {
        return QJsonDocument::fromJson(QByteArray::fromStdString(text)).object();
    }

    sim::SimulatedUnit unit_;
    QString port_;
    QTemporaryDir dir_;
    std::mutex mutex_;
    std::vector<Bytes> requests_;
    std::vector<Bytes> answers_;
};

} // namespace torl7::test
