// The tray item in an XEmbed tray (trayer on Xvfb): the icon shows, and a real click on it opens
// the popover, placed next to the icon and inside the screen.
#include <cstdlib>

#include <gtest/gtest.h>

#include <QCursor>
#include <QGuiApplication>
#include <QProcess>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QTest>

#include "ui/support/screen_harness.hpp"
#include "ui/tray/menu_bar_status.hpp"
#include "ui/tray/popover_placement.hpp"

namespace vardex::ui {
namespace {

// Clicks the middle of the tray's panel, where trayer holds our icon, the only one.
bool clickTheIcon() {
    return QProcess::execute(QStringLiteral("xdotool"),
                             {QStringLiteral("search"), QStringLiteral("--name"), QStringLiteral("^panel$"),
                              QStringLiteral("mousemove"), QStringLiteral("--window"), QStringLiteral("%1"),
                              QStringLiteral("12"), QStringLiteral("12"), QStringLiteral("click"), QStringLiteral("1")}) == 0;
}

TEST(XembedTray, ClickOnTheIconOpensThePopoverBesideIt) {
    ASSERT_TRUE(QTest::qWaitFor([] { return QSystemTrayIcon::isSystemTrayAvailable(); }, 5000)) << "trayer runs";
    testing::ScreenHarness screens;
    screens.connect();
    MenuBarStatus status(screens.context());
    ASSERT_TRUE(status.hasTray());
    ASSERT_TRUE(QTest::qWaitFor([&] { return status.tray()->geometry().isValid() && status.tray()->isVisible(); }, 5000));
    EXPECT_FALSE(status.popover()->isVisible());

    ASSERT_TRUE(clickTheIcon());
    ASSERT_TRUE(QTest::qWaitFor([&] { return status.popover()->isVisible(); }, 5000));

    const QRect popover = status.popover()->frameGeometry();
    const QRect icon(QCursor::pos() - QPoint(12, 12), QSize(24, 24));
    const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_TRUE(available.contains(popover)) << "kept on screen";
    EXPECT_GE(popover.width(), 360);
    EXPECT_GE(popover.height(), 220);
    EXPECT_LE(std::abs(popover.top() - (icon.bottom() + 1)), 2 * popoverGap) << "right under the icon";

    // A second click closes it again (the popup closes on the click outside it or on the icon).
    ASSERT_TRUE(clickTheIcon());
    EXPECT_TRUE(QTest::qWaitFor([&] { return !status.popover()->isVisible(); }, 5000));
}

}  // namespace
}  // namespace vardex::ui
