// Program entry. Runs the start-up sequence, loops until asked to quit
// (SIGINT or SIGTERM), and shuts down in order.
#include <csignal>
#include <chrono>
#include <thread>
#include "app/app.h"
#include "app/framelogic.h"
#include "app/log.h"

static void OnQuitSignal(int) { quitRequested = 1; }

int main() {
    typedChar = 0;
    LoadSettings();
    std::signal(SIGINT, OnQuitSignal);
    std::signal(SIGTERM, OnQuitSignal);
    LogPrint("wbkInit()");
    LogEndVerbose();
    if (!InitCore()) return 0;
    LogInitDone();
    LogPrint("enter message loop ------------ USAGE START");
    while (!quitRequested) {
        windowResized = 0;
        if (!FrameLogic()) break;
        typedChar = 0;
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
    }
    LogPrint("leave message loop ------------ USAGE END");
    Shutdown();
    LogPrint("end of WinMain() -> exit program");
    return 0;
}
