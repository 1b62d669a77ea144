# ORVEX_SANITIZE=address builds with AddressSanitizer and UndefinedBehaviorSanitizer,
# ORVEX_SANITIZE=thread with ThreadSanitizer. Applied to every target, tests included.
if(ORVEX_SANITIZE STREQUAL "address")
    add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
    add_link_options(-fsanitize=address,undefined)
elseif(ORVEX_SANITIZE STREQUAL "thread")
    # Asio fences its handler hand-offs; GCC warns that ThreadSanitizer cannot see fences.
    add_compile_options(-fsanitize=thread -fno-omit-frame-pointer -Wno-tsan)
    add_link_options(-fsanitize=thread)
elseif(NOT ORVEX_SANITIZE STREQUAL "")
    message(FATAL_ERROR "ORVEX_SANITIZE must be address, thread or empty")
endif()
