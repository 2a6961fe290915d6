
# Consider dependencies only in project.
set(CMAKE_DEPENDS_IN_PROJECT_ONLY OFF)

# The set of languages for which implicit dependencies are needed:
set(CMAKE_DEPENDS_LANGUAGES
  "RC"
  )
# The set of files for implicit dependencies of each language:
set(CMAKE_DEPENDS_CHECK_RC
  "/work/main/res/mossgate.rc" "/work/main/build64/CMakeFiles/mossgate_res.dir/res/mossgate.rc.res"
  )

# Preprocessor definitions for this target.
set(CMAKE_TARGET_DEFINITIONS_RC
  "NOMINMAX"
  "UNICODE"
  "WIN32_LEAN_AND_MEAN"
  "_UNICODE"
  "_WIN32_IE=0x0600"
  "_WIN32_WINNT=0x0600"
  )

# The include file search paths:
set(CMAKE_RC_TARGET_INCLUDE_PATH
  )

# The set of dependency files which are needed:
set(CMAKE_DEPENDS_DEPENDENCY_FILES
  )

# Targets to which this target links.
set(CMAKE_TARGET_LINKED_INFO_FILES
  )

# Fortran module output directory.
set(CMAKE_Fortran_TARGET_MODULE_DIR "")
