file(REMOVE_RECURSE
  "CMakeFiles/mossgate.dir/app/mgmain.cpp.obj"
  "CMakeFiles/mossgate.dir/app/mgmain.cpp.obj.d"
  "libmossgate.dll.a"
  "mossgate.exe"
  "mossgate.pdb"
)

# Per-language clean rules from dependency scanning.
foreach(lang CXX RC)
  include(CMakeFiles/mossgate.dir/cmake_clean_${lang}.cmake OPTIONAL)
endforeach()
