// An app that starts before the desktop's tray (a panel that comes up later at login) shows its
// popover as a window, then moves into the tray once one appears: trayer, started afterwards.
#include <QProcess>
#include <QSystemTrayIcon>

#include "ui/support/screen_harness.hpp"
#include "ui/tray/menu_bar_status.hpp"

namespace vardex::ui {
namespace {

TEST(LateTray, ATrayThatAppearsLaterTakesTheIconAndTheWindowBecomesThePopover) {
    testing::ScreenHarness screens;
    MenuBarStatus status(screens.context());
    ASSERT_FALSE(status.hasTray()) << "no tray host runs yet";
    EXPECT_TRUE(status.popover()->isVisible());
    EXPECT_EQ(status.popover()->windowType(), Qt::Window);

    QProcess trayer;
    trayer.start(QStringLiteral("trayer"), {QStringLiteral("--edge"), QStringLiteral("top"), QStringLiteral("--SetDockType"),
                                            QStringLiteral("true")});
    ASSERT_TRUE(trayer.waitForStarted());
    EXPECT_TRUE(QTest::qWaitFor([&] { return status.hasTray() && status.tray()->isVisible(); }, 20000));
    EXPECT_FALSE(status.popover()->isVisible()) << "the window gave way to the icon";
    EXPECT_EQ(status.popover()->windowType(), Qt::Popup);
    status.toggle();
    EXPECT_TRUE(status.popover()->isVisible()) << "a click on the icon opens the popover";
    trayer.kill();
    trayer.waitForFinished();
}

}  // namespace
}  // namespace vardex::ui
