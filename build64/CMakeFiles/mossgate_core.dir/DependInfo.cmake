
# Consider dependencies only in project.
set(CMAKE_DEPENDS_IN_PROJECT_ONLY OFF)

# The set of languages for which implicit dependencies are needed:
set(CMAKE_DEPENDS_LANGUAGES
  )

# The set of dependency files which are needed:
set(CMAKE_DEPENDS_DEPENDENCY_FILES
  "/work/main/app/MainWindow.cpp" "CMakeFiles/mossgate_core.dir/app/MainWindow.cpp.obj" "gcc" "CMakeFiles/mossgate_core.dir/app/MainWindow.cpp.obj.d"
  "/work/main/app/ReadableMemory.cpp" "CMakeFiles/mossgate_core.dir/app/ReadableMemory.cpp.obj" "gcc" "CMakeFiles/mossgate_core.dir/app/ReadableMemory.cpp.obj.d"
  "/work/main/app/TrayApp.cpp" "CMakeFiles/mossgate_core.dir/app/TrayApp.cpp.obj" "gcc" "CMakeFiles/mossgate_core.dir/app/TrayApp.cpp.obj.d"
  "/work/main/plugins/PluginLoader.cpp" "CMakeFiles/mossgate_core.dir/plugins/PluginLoader.cpp.obj" "gcc" "CMakeFiles/mossgate_core.dir/plugins/PluginLoader.cpp.obj.d"
  "/work/main/tracking/DesktopScan.cpp" "CMakeFiles/mossgate_core.dir/tracking/DesktopScan.cpp.obj" "gcc" "CMakeFiles/mossgate_core.dir/tracking/DesktopScan.cpp.obj.d"
  "/work/main/tracking/DesktopSwitch.cpp" "CMakeFiles/mossgate_core.dir/tracking/DesktopSwitch.cpp.obj" "gcc" "CMakeFiles/mossgate_core.dir/tracking/DesktopSwitch.cpp.obj.d"
  "/work/main/tracking/ScreenEdges.cpp" "CMakeFiles/mossgate_core.dir/tracking/ScreenEdges.cpp.obj" "gcc" "CMakeFiles/mossgate_core.dir/tracking/ScreenEdges.cpp.obj.d"
  "/work/main/tracking/WindowEntry.cpp" "CMakeFiles/mossgate_core.dir/tracking/WindowEntry.cpp.obj" "gcc" "CMakeFiles/mossgate_core.dir/tracking/WindowEntry.cpp.obj.d"
  "/work/main/tray/OwnerDraw.cpp" "CMakeFiles/mossgate_core.dir/tray/OwnerDraw.cpp.obj" "gcc" "CMakeFiles/mossgate_core.dir/tray/OwnerDraw.cpp.obj.d"
  "/work/main/tray/PowerSchemes.cpp" "CMakeFiles/mossgate_core.dir/tray/PowerSchemes.cpp.obj" "gcc" "CMakeFiles/mossgate_core.dir/tray/PowerSchemes.cpp.obj.d"
  "/work/main/tray/TrayIcon.cpp" "CMakeFiles/mossgate_core.dir/tray/TrayIcon.cpp.obj" "gcc" "CMakeFiles/mossgate_core.dir/tray/TrayIcon.cpp.obj.d"
  "/work/main/tray/TrayMenu.cpp" "CMakeFiles/mossgate_core.dir/tray/TrayMenu.cpp.obj" "gcc" "CMakeFiles/mossgate_core.dir/tray/TrayMenu.cpp.obj.d"
  "/work/main/tray/WindowActions.cpp" "CMakeFiles/mossgate_core.dir/tray/WindowActions.cpp.obj" "gcc" "CMakeFiles/mossgate_core.dir/tray/WindowActions.cpp.obj.d"
  "/work/main/tray/WindowCommands.cpp" "CMakeFiles/mossgate_core.dir/tray/WindowCommands.cpp.obj" "gcc" "CMakeFiles/mossgate_core.dir/tray/WindowCommands.cpp.obj.d"
  )

# Targets to which this target links.
set(CMAKE_TARGET_LINKED_INFO_FILES
  )

# Fortran module output directory.
set(CMAKE_Fortran_TARGET_MODULE_DIR "")
