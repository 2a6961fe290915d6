file(REMOVE_RECURSE
  "CMakeFiles/mossgate_core.dir/app/MainWindow.cpp.obj"
  "CMakeFiles/mossgate_core.dir/app/MainWindow.cpp.obj.d"
  "CMakeFiles/mossgate_core.dir/app/ReadableMemory.cpp.obj"
  "CMakeFiles/mossgate_core.dir/app/ReadableMemory.cpp.obj.d"
  "CMakeFiles/mossgate_core.dir/app/TrayApp.cpp.obj"
  "CMakeFiles/mossgate_core.dir/app/TrayApp.cpp.obj.d"
  "CMakeFiles/mossgate_core.dir/plugins/PluginLoader.cpp.obj"
  "CMakeFiles/mossgate_core.dir/plugins/PluginLoader.cpp.obj.d"
  "CMakeFiles/mossgate_core.dir/tracking/DesktopScan.cpp.obj"
  "CMakeFiles/mossgate_core.dir/tracking/DesktopScan.cpp.obj.d"
  "CMakeFiles/mossgate_core.dir/tracking/DesktopSwitch.cpp.obj"
  "CMakeFiles/mossgate_core.dir/tracking/DesktopSwitch.cpp.obj.d"
  "CMakeFiles/mossgate_core.dir/tracking/ScreenEdges.cpp.obj"
  "CMakeFiles/mossgate_core.dir/tracking/ScreenEdges.cpp.obj.d"
  "CMakeFiles/mossgate_core.dir/tracking/WindowEntry.cpp.obj"
  "CMakeFiles/mossgate_core.dir/tracking/WindowEntry.cpp.obj.d"
  "CMakeFiles/mossgate_core.dir/tray/OwnerDraw.cpp.obj"
  "CMakeFiles/mossgate_core.dir/tray/OwnerDraw.cpp.obj.d"
  "CMakeFiles/mossgate_core.dir/tray/PowerSchemes.cpp.obj"
  "CMakeFiles/mossgate_core.dir/tray/PowerSchemes.cpp.obj.d"
  "CMakeFiles/mossgate_core.dir/tray/TrayIcon.cpp.obj"
  "CMakeFiles/mossgate_core.dir/tray/TrayIcon.cpp.obj.d"
  "CMakeFiles/mossgate_core.dir/tray/TrayMenu.cpp.obj"
  "CMakeFiles/mossgate_core.dir/tray/TrayMenu.cpp.obj.d"
  "CMakeFiles/mossgate_core.dir/tray/WindowActions.cpp.obj"
  "CMakeFiles/mossgate_core.dir/tray/WindowActions.cpp.obj.d"
  "CMakeFiles/mossgate_core.dir/tray/WindowCommands.cpp.obj"
  "CMakeFiles/mossgate_core.dir/tray/WindowCommands.cpp.obj.d"
  "libmossgate_core.a"
  "libmossgate_core.pdb"
)

# Per-language clean rules from dependency scanning.
foreach(lang CXX)
  include(CMakeFiles/mossgate_core.dir/cmake_clean_${lang}.cmake OPTIONAL)
endforeach()
