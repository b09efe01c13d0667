# Applies TUVARO_SANITIZE to everything built after this point.
if(TUVARO_SANITIZE)
  string(REPLACE ";" "," _sanitizers "${TUVARO_SANITIZE}")
  add_compile_options(-fsanitize=${_sanitizers} -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=${_sanitizers})
endif()
