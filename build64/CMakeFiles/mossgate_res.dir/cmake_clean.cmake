file(REMOVE_RECURSE
  "CMakeFiles/mossgate_res.dir/res/mossgate.rc.res"
)

# Per-language clean rules from dependency scanning.
foreach(lang RC)
  include(CMakeFiles/mossgate_res.dir/cmake_clean_${lang}.cmake OPTIONAL)
endforeach()
