#include <gtest/gtest.h>

#include <QImage>
#include <QLabel>

#include "support/fake_engine_store.hpp"
#include "ui/screens/receipt/receipt_card.hpp"

namespace vardex::ui {
namespace {

using vardex::testing::caseName;

struct ReceiptCase {
    const char* name;
    bool example;
    std::optional<std::string> topCatch;
    std::vector<std::string> agents;
};

class ReceiptPng : public ::testing::TestWithParam<ReceiptCase> {};

// The image is the card at two pixels per point; the badge is drawn only on example data.
TEST_P(ReceiptPng, IsTheCardAtTwicePointsWithTheBadgeOnlyForExamples) {
    const auto& c = GetParam();
    const ReceiptData data{std::chrono::system_clock::now(), 12, 2, 1, c.agents, c.topCatch, c.example};
    const auto png = renderReceiptPng(data);
    ASSERT_TRUE(png.has_value());
    QImage image;
    ASSERT_TRUE(image.loadFromData(reinterpret_cast<const uchar*>(png->data()), static_cast<int>(png->size()), "PNG"));

    ReceiptCard card;
    card.setData(data);
    card.adjustSize();
    EXPECT_EQ(image.width(), 2 * ReceiptCard::cardWidth);
    EXPECT_EQ(image.height(), 2 * card.height());

    auto* badge = card.findChild<QLabel*>(QStringLiteral("receiptBadge"));
    ASSERT_NE(badge, nullptr);
    EXPECT_EQ(!badge->isHidden(), c.example);
    // The badge's colour shows in the rendered image exactly when the badge is drawn.
    const QColor badgeColour = badge->palette().color(QPalette::Window);
    bool seen = false;
    for (int y = 0; y < image.height() && !seen; y += 2) {
        for (int x = image.width() / 2; x < image.width() && !seen; x += 2) seen = image.pixelColor(x, y) == badgeColour;
    }
    EXPECT_EQ(seen, c.example);
    auto* topCatch = card.findChild<QLabel*>(QStringLiteral("receiptTopCatch"));
    EXPECT_EQ(topCatch->text().toStdString(), c.topCatch.value_or("Nothing needed blocking today."));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ReceiptPng,
    ::testing::Values(ReceiptCase{"exampleDataCarriesTheBadge", true, "Claude Code: An AI app tried to erase a disk.",
                                  {"Claude Code", "Cursor"}},
                      ReceiptCase{"realDataHasNoBadge", false, std::nullopt, {}}),
    caseName);

}  // namespace
}  // namespace vardex::ui
