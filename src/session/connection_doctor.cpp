#include "session/connection_doctor.hpp"

#include "protocol/frame.hpp"

namespace torl7 {
namespace {

std::uint16_t numberOf(const Bytes& frame) {
    return frame.size() >= kHeaderSize ? static_cast<std::uint16_t>(frame[2] << 8 | frame[3]) : 0;
}

} // namespace

LineDiagnosis diagnoseNoAnswer(std::span<const TrafficEntry> exchange) {
    LineDiagnosis d;
    bool echo = false;
    bool badSum = false;
    bool noFrame = false;
    bool otherCode = false;
    for (const TrafficEntry& e : exchange) {
        if (e.direction == TrafficEntry::Direction::Sent) {
            d.askedNumber = numberOf(e.bytes);
            continue;
        }
        if (e.sum == TrafficEntry::Sum::Good) {
            if (e.fate == TrafficEntry::Fate::Echo) {
                echo = true;
            } else if (numberOf(e.bytes) != d.askedNumber) {
                // Another unit's frame says more than anything else: it is the number to ask.
                d.cause = LineDiagnosis::Cause::ForeignNumber;
                d.foreignNumber = numberOf(e.bytes);
                return d;
            } else {
                otherCode = true;
            }
        } else if (e.sum == TrafficEntry::Sum::None) {
            noFrame = true;
        } else {
            badSum = true;
        }
    }
    using Cause = LineDiagnosis::Cause;
    d.cause = badSum      ? Cause::BadSums
              : noFrame   ? Cause::NoFrames
              : otherCode ? Cause::OtherCode
              : echo      ? Cause::EchoOnly
                          : Cause::Silence;
    return d;
}

namespace {

// Over raw TCP the serial speed is the server's setting, not the tool's.
bool serverSetsSpeed(const LineDiagnosis& d) {
    using Cause = LineDiagnosis::Cause;
    return d.line == LineEndpoint::Kind::RawTcp &&
           (d.cause == Cause::Silence || d.cause == Cause::BadSums || d.cause == Cause::NoFrames);
}

std::string causeHint(const LineDiagnosis& d, HintReader reader) {
    const bool cli = reader == HintReader::Cli;
    const std::string asked = std::to_string(d.askedNumber);
    const std::string search = cli ? "torl7-cli search" : "\"Поиск устройства\"";
    switch (d.cause) {
    case LineDiagnosis::Cause::Silence:
        if (d.line != LineEndpoint::Kind::Device) {
            return "Сервер принимает соединение, но его последовательная сторона молчит: в ответ "
                   "не пришло ни одного байта. Проверьте линию RS-485 за сервером и питание "
                   "блока; скорость или заводской номер " +
                   asked + " могут быть неверны" +
                   (d.line == LineEndpoint::Kind::Rfc2217 ? " (" + search + ")." : ".");
        }
        return "Линия молчит: в ответ не пришло ни одного байта. Проверьте порт, кабель и питание "
               "блока; если они в порядке, скорость или заводской номер " +
               asked + " могут быть неверны (" + search + ").";
    case LineDiagnosis::Cause::EchoOnly:
        return "Вернулось только эхо запроса: адаптер слышит сам себя, а блок молчит. Блок "
               "выключен или его заводской номер не " +
               asked + " (" + search + ").";
    case LineDiagnosis::Cause::ForeignNumber: {
        const std::string other = std::to_string(d.foreignNumber);
        return "Ответил блок с заводским номером " + other + ", а запрос был к " + asked +
               (cli ? ". Повторите с --unit " + other + "."
                    : ". Переключитесь на номер " + other + ".");
    }
    case LineDiagnosis::Cause::BadSums:
        return "Приходят кадры с неверной контрольной суммой: неверная скорость или помехи на "
               "линии. Найдите блок через " +
               search + ".";
    case LineDiagnosis::Cause::NoFrames:
        return "Приходят байты, из которых не складывается ни одного кадра: блок работает на "
               "другой скорости, или на линии помехи. Найдите блок через " +
               search + ".";
    case LineDiagnosis::Cause::OtherCode:
        return "Блок отвечает, но не на этот запрос (ответ с другим кодом). Повторите запрос; "
               "если повторится, блок не поддерживает эту команду.";
    }
    return {};
}

} // namespace

std::string noAnswerHint(const LineDiagnosis& d, HintReader reader) {
    std::string hint = causeHint(d, reader);
    if (serverSetsSpeed(d)) {
        hint += " Через tcp:// скорость линии задаётся в самом сервере: она должна совпадать со "
                "скоростью блока (или откройте rfc2217://, чтобы её задавала программа).";
    }
    return hint;
}

bool hintSuggestsSearch(const LineDiagnosis& d) {
    return d.cause != LineDiagnosis::Cause::OtherCode && !serverSetsSpeed(d);
}

} // namespace torl7
