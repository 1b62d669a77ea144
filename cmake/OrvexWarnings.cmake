# Warnings shared by every target of the project.
add_library(orvex_warnings INTERFACE)
target_compile_options(orvex_warnings INTERFACE -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor)
option(ORVEX_WERROR "Treat warnings as errors" ON)
if(ORVEX_WERROR)
    target_compile_options(orvex_warnings INTERFACE -Werror)
endif()
