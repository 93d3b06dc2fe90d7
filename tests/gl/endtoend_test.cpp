// The real program driven by real X input events: a copy of it runs in a
// directory of its own (its settings, log and crash marker stay there) on an
// X server of its own (other tests' windows cannot catch the pointer), and
// xdotool moves the pointer, presses buttons and keys through XTest, the
// way a user's mouse and keyboard reach the window. Window names are read
// back from the X server, so what is checked is what the user sees.
#include <gtest/gtest.h>
#include <string>
#include "xsession.h"

TEST(EndToEnd, LeftDragMarksTitleAndQuittingAsksBeforeLosingIt) {
    if (!HaveXdotool()) GTEST_SKIP() << "xdotool missing";
    PrivateDisplay display;
    ASSERT_TRUE(display.Start()) << "no private X server (Xvfb)";
    RunningProgram program;
    ASSERT_TRUE(program.Start());
    WindowId window = FindProgramWindow(program.pid, "Tessaform alpha", 20000);
    ASSERT_NE(window, 0u) << "the program's window never appeared";
    ASSERT_TRUE(
        WaitUntil([&] { return WindowName(window) == "Tessaform alpha - Untitled  "; }, 10000))
        << "[" << WindowName(window) << "]";

    // 1. A left drag across the middle of the window, where the start sphere is.
    ASSERT_GT(SizeOf(window).width, 0);
    DragAcrossTheMiddle(window);
    EXPECT_TRUE(
        WaitUntil([&] { return WindowName(window) == "Tessaform alpha - Untitled *"; }, 5000))
        << "[" << WindowName(window) << "]";

    // 2. Escape with unsaved changes asks; Cancel keeps the program running.
    HoldKeys(window, "Escape");
    WindowId box = FindNamedWindow("Confirm exit", 5000);
    ASSERT_NE(box, 0u) << "Escape with unsaved changes asked nothing";
    Xdo("key --window " + std::to_string(box) + " Escape");
    EXPECT_FALSE(program.Exited(1500)) << "Cancel ended the program";
    EXPECT_EQ(WindowName(window), "Tessaform alpha - Untitled *");

    // 3. Closing the window asks the same; Cancel keeps it open.
    ASSERT_TRUE(WaitUntil([&] { return FindNamedWindow("Confirm exit", 0) == 0; }, 5000));
    RequestClose(window);
    box = FindNamedWindow("Confirm exit", 5000);
    ASSERT_NE(box, 0u) << "closing with unsaved changes asked nothing";
    Xdo("key --window " + std::to_string(box) + " Escape");
    EXPECT_FALSE(program.Exited(1500)) << "Cancel closed the program";
    EXPECT_EQ(WindowName(window), "Tessaform alpha - Untitled *");

    // 4. Asked again, OK ends it cleanly.
    ASSERT_TRUE(WaitUntil([&] { return FindNamedWindow("Confirm exit", 0) == 0; }, 5000));
    RequestClose(window);
    box = FindNamedWindow("Confirm exit", 5000);
    ASSERT_NE(box, 0u) << "the second close asked nothing";
    Xdo("key --window " + std::to_string(box) + " Return");
    ASSERT_TRUE(program.Exited(10000)) << "OK did not end the program";
    EXPECT_EQ(program.exitStatus, 0);
}
