#pragma once
#include <windows.h>
#include <vector>

// Every menu made for one showing of the tray menu: the loaded template
// first, then each created menu. All are destroyed together, newest first.
class MenuSet {
  public:
    MenuSet() = default;
    ~MenuSet() { destroyAll(); }
    MenuSet(const MenuSet&) = delete;
    MenuSet& operator=(const MenuSet&) = delete;

    HMENU add(HMENU menu) {
        if (menu)
            handles.push_back(menu);
        return menu;
    }
    void destroyAll() {
        for (auto it = handles.rbegin(); it != handles.rend(); ++it)
            DestroyMenu(*it);
        handles.clear();
    }
    HMENU root = nullptr;

  private:
    std::vector<HMENU> handles;
};
