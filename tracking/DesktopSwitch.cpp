#include "app/Names.h"
#include "app/Scoped.h"
#include "app/Texts.h"
#include "app/TrayApp.h"
#include "tracking/WindowCalls.h"

namespace {

constexpr DWORD SwitchGuard = 1000;

// Shows the windows of entries leaving hiddenWindows. An entry whose flag is
// already clear stands for a window a switch has just shown again (its own
// program had shown it meanwhile); toggling it would hide it once more.
void showAll(const std::list<WindowEntry*>& entries) {
    for (WindowEntry* entry : entries)
        if (entry->isHidden())
            entry->toggleHidden();
}

} // namespace

bool TrayApp::switchAllowed(DWORD now, DWORD lastSwitch) {
    return now - lastSwitch >= SwitchGuard;
}

void TrayApp::switchDesktop() {
    BusyScope operation(busy);
    if (!operation.entered())
        return;
    const DWORD now = GetTickCount();
    if (!switchAllowed(now, lastSwitchTick))
        return;
    // Taken on entry, so that no second switch starts before this one ends.
    lastSwitchTick = now;
    {
        UiLock lock(*this);
        // The lists are taken over first: the loops below call into other
        // programs' windows and work on these copies only.
        std::list<WindowEntry*> wasVisible;
        std::list<WindowEntry*> comingBack;
        wasVisible.swap(visibleWindows);
        comingBack.swap(hiddenWindows);
        std::list<WindowEntry*> goingHidden;
        std::list<WindowEntry*> staying;
        for (WindowEntry* entry : wasVisible) {
            if (entry->getClassName() == names::ImeWindowClass)
                // Input-method windows stay on both desktops; the next pass
                // tracks them again.
                destroyEntry(entry);
            else if (beyondReach(entry->getHandle()))
                // A program running as administrator refuses the change; its
                // window stays where it is, and is listed so.
                staying.push_back(entry);
            else
                goingHidden.push_back(entry);
        }
        for (WindowEntry* entry : goingHidden)
            entry->toggleHidden();
        showAll(comingBack);
        visibleWindows.splice(visibleWindows.end(), staying);
        visibleWindows.splice(visibleWindows.end(), comingBack);
        hiddenWindows.splice(hiddenWindows.end(), goingHidden);
    }
    showBalloon(texts::SwitchBalloon, texts::ProductName, BalloonTime);
}

void TrayApp::restoreHiddenWindows() {
    if (hiddenWindows.empty())
        return;
    std::list<WindowEntry*> comingBack;
    comingBack.swap(hiddenWindows);
    showAll(comingBack);
    visibleWindows.splice(visibleWindows.end(), comingBack);
    // After WM_DESTROY the window is gone, and with it the icon.
    if (!quitting && IsWindow(mainWindow))
        setTrayTip(texts::ProductName);
}
