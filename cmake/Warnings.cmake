# Project-wide warnings and sanitizers, applied to our own targets through
# quorel_warnings so that third-party headers are not held to them.
add_library(quorel_warnings INTERFACE)
target_compile_options(quorel_warnings INTERFACE
    -Wall -Wextra -Wpedantic -Wshadow -Wold-style-cast
    $<$<BOOL:${QUOREL_WERROR}>:-Werror>)
target_compile_definitions(quorel_warnings INTERFACE
    QT_NO_CAST_FROM_ASCII QT_DISABLE_DEPRECATED_BEFORE=0x060400)

if(QUOREL_SANITIZE)
    add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
    add_link_options(-fsanitize=address,undefined)
endif()
