file(REMOVE_RECURSE
  "CMakeFiles/hello_plugin.dir/hello_plugin.c.obj"
  "CMakeFiles/hello_plugin.dir/hello_plugin.c.obj.d"
  "hello_plugin.dll"
  "hello_plugin.pdb"
  "libhello_plugin.dll.a"
)

# Per-language clean rules from dependency scanning.
foreach(lang C)
  include(CMakeFiles/hello_plugin.dir/cmake_clean_${lang}.cmake OPTIONAL)
endforeach()
