// Auto-calibration on the configuration page against an in-memory line: ten samples, the
// coefficients of the ticked channels, their write and the unit's acknowledgement.
#include "protocol/codecs/calibration_codec.hpp"
#include "support/window_fixture.hpp"

#include <QCheckBox>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>

using namespace torl7;
using namespace torl7::test;

namespace {

using Kind = RecordingMessageBoxes::Kind;
using Readings = std::array<std::uint32_t, kCoefficientCount>;

const Bytes kSampleRequest = buildFrame(600, kind::Diagnostics, Bytes{kCalibrationSelector});

class CalibrationTest : public WindowFixture {
protected:
    // Presses "Авто-калибровка" and answers Yes.
    void start() {
        session().cancel(); // a coefficient write left unacknowledged would refuse the next run
        boxes.answers = {MessageBoxes::Answer::Yes};
        config().Button5->click();
    }

    void sample(const Readings& readings) {
        answer(kind::Diagnostics, encodeCalibrationSample({readings}));
    }
    void samples(int count, const Readings& readings) {
        for (int i = 0; i < count; ++i) {
            sample(readings);
        }
    }

    // The coefficients of the last request, when it is a coefficient write.
    std::optional<std::array<std::uint16_t, kCoefficientCount>> coefficientsSent() const {
        const auto frames = sentFrames();
        if (frames.empty()) {
            return std::nullopt;
        }
        const auto frame = parseFrame(frames.back());
        if (!frame || frame->command() != kind::Write || frame->length() != 15 ||
            frame->reader().byte(0) != kWriteSubModeCoefficients) {
            return std::nullopt;
        }
        return decodeCoefficientWrite(frame->payload());
    }

    QStringList coefficientTexts() {
        QStringList texts;
        for (QLineEdit* edit : {config().st_kua, config().st_kub, config().st_kuc, config().st_kia,
                                config().st_kib, config().st_kic, config().st_kidif}) {
            texts << edit->text();
        }
        return texts;
    }

    static constexpr Readings kQuiet{57000, 57000, 57000, 1000, 1000, 1000, 2500};
};

} // namespace

TEST_F(CalibrationTest, answeringNoSendsNothing) {
    config().Button5->click();
    EXPECT_TRUE(line.writes.empty());
    ASSERT_EQ(boxes.shown.size(), 2u);
    EXPECT_EQ(boxes.shown[0].kind, Kind::Question);
    EXPECT_EQ(boxes.shown[0].text, QStringLiteral("Внимание данные калибровки будут изменены! "
                                                  "Защита будет блокирована! Продолжить?"));
    EXPECT_EQ(boxes.shown[0].caption, QStringLiteral(" Норвик Ltd"));
    EXPECT_EQ(boxes.shown[1].text, QStringLiteral("Калибровка отменена"));
    EXPECT_EQ(boxes.shown[1].caption, QStringLiteral("Автокалибровка"));
}

TEST_F(CalibrationTest, tenSamplesGiveTheTickedCoefficientsTruncatedAndCurrentsDoubled) {
    config().CB_uak->setChecked(true);
    config().ua_k->setText(QStringLiteral("100"));
    config().CB_ubk->setChecked(true);
    config().ub_k->setText(QStringLiteral("10"));
    config().CB_iak->setChecked(true);
    config().ia_k->setText(QStringLiteral("10"));
    config().st_kia->setText(QStringLiteral("123"));
    config().st_kuc->setText(QStringLiteral("571"));
    config().PBk->setValue(7);

    start();
    EXPECT_EQ(config().PBk->value(), 0);
    std::vector<int> progress;
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(sentFrames().back(), kSampleRequest) << "request " << i;
        // Ub: nine readings of 5700 and one of 5699 make a mean of 5699.9.
        sample({57000, i == 0 ? 5699u : 5700u, 0, 1000, 0, 0, 0});
        progress.push_back(config().PBk->value());
    }
    EXPECT_EQ(progress, (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 11}))
        << "the tenth sample shows 10, then the write moves the bar to its end";
    EXPECT_EQ(line.writes.size(), 11u);
    EXPECT_EQ(coefficientsSent(),
              (std::array<std::uint16_t, kCoefficientCount>{570, 569, 571, 200, 200, 200, 5000}));
    EXPECT_EQ(coefficientTexts(), (QStringList{"570", "569", "571", "200", "200", "200", "5000"}));
    EXPECT_EQ(boxes.shown.size(), 1u) << "only the question";
}

TEST_F(CalibrationTest, nothingTickedStillTakesTenSamplesAndSendsTheSevenUnchanged) {
    config().st_kub->setText(QStringLiteral("1"));
    config().st_kidif->setText(QStringLiteral("65535"));
    config().ua_k->setText(QStringLiteral("not read"));
    start();
    samples(9, kQuiet);
    EXPECT_FALSE(coefficientsSent());
    sample(kQuiet);
    EXPECT_EQ(coefficientsSent(),
              (std::array<std::uint16_t, kCoefficientCount>{570, 1, 570, 200, 200, 200, 65535}));
    EXPECT_EQ(config().PBk->value(), 11);
    EXPECT_EQ(boxes.shown.size(), 1u) << "an unticked reference is not read";
}

TEST_F(CalibrationTest, acknowledgementRewritesAllSevenAndTheBlockAndClosesThePort) {
    start();
    samples(10, kQuiet);
    ASSERT_TRUE(coefficientsSent());
    boxes.clear();
    answer(kind::Write, encodeCoefficientAck({{566, 574, 1, 204, 198, 201, 4960}, true}));
    EXPECT_EQ(coefficientTexts(), (QStringList{"566", "574", "1", "204", "198", "201", "4960"}));
    EXPECT_TRUE(config().blok_z->isChecked());
    EXPECT_FALSE(line.isOpen());
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].kind, Kind::Information);
    EXPECT_EQ(boxes.shown[0].text,
              QStringLiteral("Внимание! Калибровка завершена. Защита заблокирована."));
    EXPECT_EQ(boxes.shown[0].caption, QStringLiteral("Автокалибровка"));

    start();
    samples(10, kQuiet);
    answer(kind::Write, encodeCoefficientAck({{570, 570, 570, 200, 200, 200, 5000}, false}));
    EXPECT_FALSE(config().blok_z->isChecked());
}

TEST_F(CalibrationTest, unusableReferenceEndsTheRunWithNothingSentAndNothingChanged) {
    const struct {
        QCheckBox* box;
        QLineEdit* reference;
        QString text;
        Kind kind;
    } cases[] = {
        {config().CB_ick, config().ic_k, QStringLiteral("0"), Kind::Error},
        {config().CB_idifk, config().idif_k, QStringLiteral("0,0"), Kind::Error},
        {config().CB_ubk, config().ub_k, QStringLiteral("abc"), Kind::ConversionError},
    };
    // Ua is ticked and usable: its new value must not land while another channel fails.
    config().CB_uak->setChecked(true);
    config().ua_k->setText(QStringLiteral("50"));
    for (const auto& c : cases) {
        c.box->setChecked(true);
        c.reference->setText(c.text);
        const QStringList before = coefficientTexts();
        line.clearWritten();
        boxes.clear();
        start();
        samples(10, kQuiet);
        EXPECT_EQ(line.writes.size(), 10u) << c.reference->objectName().toStdString();
        ASSERT_EQ(boxes.shown.size(), 2u);
        EXPECT_EQ(boxes.shown[1].kind, c.kind);
        EXPECT_EQ(coefficientTexts(), before);
        EXPECT_EQ(config().PBk->value(), 10);
        c.box->setChecked(false);
    }
}

TEST_F(CalibrationTest, coefficientThatIsNoWordIsNeverSent) {
    config().CB_uak->setChecked(true);
    config().ua_k->setText(QStringLiteral("0,5")); // 57000 / 0.5 = 114000
    start();
    samples(10, kQuiet);
    EXPECT_FALSE(coefficientsSent());
    ASSERT_EQ(boxes.shown.size(), 2u);
    EXPECT_EQ(boxes.shown[1].kind, Kind::Error);
    EXPECT_TRUE(boxes.shown[1].text.contains(QStringLiteral("Ua")));
    EXPECT_TRUE(boxes.shown[1].text.contains(QStringLiteral("114000")));
    EXPECT_EQ(config().st_kua->text(), QStringLiteral("570"));

    config().ua_k->setText(QStringLiteral("-100"));
    start();
    samples(10, kQuiet);
    EXPECT_FALSE(coefficientsSent()) << "a negative reference gives no word either";

    // An edit that is no integer fails when the write is built.
    config().CB_uak->setChecked(false);
    config().st_kic->setText(QStringLiteral("2x"));
    boxes.clear();
    start();
    samples(10, kQuiet);
    EXPECT_FALSE(coefficientsSent());
    ASSERT_EQ(boxes.shown.size(), 2u);
    EXPECT_EQ(boxes.shown[1].kind, Kind::ConversionError);
    EXPECT_EQ(config().PBk->value(), 10) << "nothing was sent, so the bar does not reach its end";
}

TEST_F(CalibrationTest, eachRunSumsItsOwnTenSamplesOnly) {
    sample(kQuiet);
    EXPECT_TRUE(line.writes.empty()) << "no run, no sample";
    EXPECT_EQ(config().PBk->value(), 0);

    config().CB_uak->setChecked(true);
    config().ua_k->setText(QStringLiteral("100"));
    start();
    samples(10, {99999, 0, 0, 0, 0, 0, 0});
    ASSERT_TRUE(coefficientsSent());
    // A late eleventh sample (a poll that also asked with selector 4) must not compute and
    // send coefficients from eleven sums.
    sample(kQuiet);
    EXPECT_EQ(line.writes.size(), 11u);
    EXPECT_EQ(config().PBk->value(), 11);

    start();
    samples(10, kQuiet);
    EXPECT_EQ(config().st_kua->text(), QStringLiteral("570")) << "the sums start from 0";
}
