# Warnings are errors on every target of the project; applied per target so that
# third-party code pulled in by find_package is not affected.
function(zephrane_set_warnings target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Werror -Wshadow)
endfunction()
