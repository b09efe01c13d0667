# Every target of ours compiles with the same strict warnings, as errors.
function(tuvaro_warnings target)
  target_compile_options(${target} PRIVATE
    -Wall -Wextra -Wshadow -Wconversion -Wsign-conversion -Wpedantic -Werror)
endfunction()
