# The warnings every target of the project is built with; applied per target so that third-party
# code pulled in by find_package is not affected. ZEPHRANE_WERROR makes them errors: CI and the
# "dev" preset turn it on, a user's build of a release does not fail on a newer compiler's warning.
option(ZEPHRANE_WERROR "Treat compiler warnings as errors" OFF)

function(zephrane_set_warnings target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wshadow)
    if(ZEPHRANE_WERROR)
        target_compile_options(${target} PRIVATE -Werror)
    endif()
endfunction()
