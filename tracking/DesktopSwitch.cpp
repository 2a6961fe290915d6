#include "app/Names.h"
#include "app/Scoped.h"
#include "app/Texts.h"
#include "app/TrayApp.h"

namespace {
constexpr DWORD SwitchGuard = 1000;
} // namespace

bool TrayApp::switchAllowed(DWORD now, DWORD lastSwitch) {
    return now - lastSwitch >= SwitchGuard;
}

void TrayApp::switchDesktop() {
    if (!switchAllowed(GetTickCount(), lastSwitchTick))
        return;
    {
        MutexLock lock(scanMutex);
        std::list<WindowEntry*> goingHidden;
        for (WindowEntry* entry : visibleWindows)
            if (entry->getClassName() != names::ImeWindowClass)
                goingHidden.push_back(entry);
        rescue.publish(hiddenWindows, &goingHidden);
        for (WindowEntry* entry : visibleWindows) {
            if (entry->getClassName() == names::ImeWindowClass) {
                // Input-method windows stay on both desktops; the next pass
                // tracks them again.
                destroyEntry(entry);
                continue;
            }
            entry->toggleHidden();
        }
        visibleWindows.clear();
        for (WindowEntry* entry : hiddenWindows) {
            entry->toggleHidden();
            visibleWindows.push_back(entry);
        }
        hiddenWindows.clear();
        hiddenWindows.splice(hiddenWindows.end(), goingHidden);
        rescue.publish(hiddenWindows);
        lastSwitchTick = GetTickCount();
    }
    showBalloon(texts::SwitchBalloon, texts::ProductName, BalloonTime);
}

void TrayApp::restoreHiddenWindows() {
    if (hiddenWindows.empty())
        return;
    for (WindowEntry* entry : hiddenWindows) {
        entry->toggleHidden();
        visibleWindows.push_back(entry);
    }
    hiddenWindows.clear();
    rescue.publish(hiddenWindows);
    if (!quitting)
        setTrayTip(texts::ProductName);
}
