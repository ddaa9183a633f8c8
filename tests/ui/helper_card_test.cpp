#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

#include "support/store_fakes.hpp"
#include "ui/helper/helper_model.hpp"
#include "ui/helper/local_helper.hpp"
#include "ui/widgets/helper_card.hpp"

namespace vardex::ui {
namespace {

// A model that answers when the test says so, with a reply or a failure.
class HeldModel final : public HelperModel {
public:
    bool available() const override { return up; }
    void respond(const std::string&, const std::string& prompt, Reply done) override {
        prompts.push_back(prompt);
        pending = std::move(done);
    }
    bool up = true;
    std::vector<std::string> prompts;
    Reply pending;
};

struct HelperCase {
    const char* name;
    bool switchedOff;
    bool modelUp;
    std::optional<std::string> reply;  // what the model answers, when it is asked
    std::string fallback;
    std::string wantAnswer;
    std::string wantSource;
    bool wantAsked;
};

class HelperCardTest : public ::testing::TestWithParam<HelperCase> {};

TEST_P(HelperCardTest, PressingTheButtonShowsTheRightExplanation) {
    const auto& c = GetParam();
    testing::MemoryPreferences preferences;
    if (c.switchedOff) preferences.values["localHelperOff"] = true;
    HeldModel model;
    model.up = c.modelUp;
    HelperCard card(model, preferences, {"Explain simply: a key", c.fallback}, false);
    auto* ask = card.findChild<QToolButton*>(QStringLiteral("helperAsk"));
    ASSERT_NE(ask, nullptr);

    QTest::mouseClick(ask, Qt::LeftButton);
    ASSERT_EQ(!model.prompts.empty(), c.wantAsked);
    if (c.wantAsked) {
        EXPECT_TRUE(card.helper().busy());
        EXPECT_FALSE(ask->isEnabled()) << "a second press while the model works is not possible";
        model.pending(c.reply);
        QTRY_VERIFY(!card.helper().busy());
    } else {
        EXPECT_FALSE(card.helper().busy());
    }
    ASSERT_TRUE(card.helper().answer().has_value()) << "an empty fallback is an empty answer, not none";
    EXPECT_EQ(*card.helper().answer(), c.wantAnswer);
    EXPECT_EQ(card.helper().source(), c.wantSource);
    EXPECT_TRUE(ask->isEnabled());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HelperCardTest,
    ::testing::Values(HelperCase{"switchedOffShowsFallbackAtOnce", true, true, "model", "Fallback.", "Fallback.", "built-in", false},
                      HelperCase{"noModelShowsFallbackAtOnce", false, false, "model", "Fallback.", "Fallback.", "built-in", false},
                      HelperCase{"emptyFallbackIsEmptyAnswer", false, false, std::nullopt, "", "", "built-in", false},
                      HelperCase{"modelReplyIsShown", false, true, "It keeps keys safe.", "Fallback.", "It keeps keys safe.",
                                 "on-device model", true},
                      HelperCase{"modelErrorAfterBusyShowsFallback", false, true, std::nullopt, "Fallback.", "Fallback.",
                                 "built-in", true}),
    [](const auto& test) { return std::string(test.param.name); });

}  // namespace
}  // namespace vardex::ui
