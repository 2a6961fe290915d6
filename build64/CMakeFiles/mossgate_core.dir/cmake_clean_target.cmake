file(REMOVE_RECURSE
  "libmossgate_core.a"
)
