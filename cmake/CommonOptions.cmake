# One interface target carries the language level, warnings and Qt defines for every target.
add_library(ostraline_options INTERFACE)
target_compile_features(ostraline_options INTERFACE cxx_std_20)
target_compile_options(ostraline_options INTERFACE -Wall -Wextra -Wpedantic)
target_compile_definitions(ostraline_options INTERFACE QT_NO_KEYWORDS QT_USE_QSTRINGBUILDER)

# Product code spells every text's encoding; tests may use plain literals.
add_library(ostraline_strict INTERFACE)
target_link_libraries(ostraline_strict INTERFACE ostraline_options)
target_compile_definitions(ostraline_strict INTERFACE QT_NO_CAST_FROM_ASCII QT_NO_URL_CAST_FROM_STRING)
if(OSTRALINE_SANITIZE)
    target_compile_options(ostraline_options INTERFACE
        -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
    target_link_options(ostraline_options INTERFACE -fsanitize=address,undefined)
endif()
