# Warnings shared by every target of the project.
add_library(orvex_warnings INTERFACE)
target_compile_options(orvex_warnings INTERFACE -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor)
# Warnings stop the build only where we ask for it (the dev preset and CI): a packager's plain
# configure on another compiler must not fail on a warning that compiler adds.
option(ORVEX_WERROR "Treat warnings as errors" OFF)
if(ORVEX_WERROR)
    target_compile_options(orvex_warnings INTERFACE -Werror)
endif()
