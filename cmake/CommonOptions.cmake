# One interface target carries the language level, warnings and Qt defines for every target.
add_library(ostraline_options INTERFACE)
target_compile_features(ostraline_options INTERFACE cxx_std_20)
target_compile_options(ostraline_options INTERFACE -Wall -Wextra -Wpedantic)
target_compile_definitions(ostraline_options INTERFACE QT_NO_KEYWORDS QT_USE_QSTRINGBUILDER)

# Product code spells every text's encoding; tests may use plain literals.
add_library(ostraline_strict INTERFACE)
target_link_libraries(ostraline_strict INTERFACE ostraline_options)
target_compile_definitions(ostraline_strict INTERFACE QT_NO_CAST_FROM_ASCII QT_NO_URL_CAST_FROM_STRING)
# Sanitizer build: every undefined-behaviour report ends the process, so a test cannot pass
# over one; AddressSanitizer's leak check runs at exit (see scripts/lsan.supp).
if(OSTRALINE_SANITIZE OR OSTRALINE_FUZZ)
    target_compile_options(ostraline_options INTERFACE
        -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
    target_link_options(ostraline_options INTERFACE -fsanitize=address,undefined)
endif()
# Fuzz build (clang only): product code gets libFuzzer's coverage hooks; the fuzz targets
# themselves link libFuzzer's driver (fuzz/CMakeLists.txt).
if(OSTRALINE_FUZZ)
    if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
        message(FATAL_ERROR "OSTRALINE_FUZZ needs clang: -DCMAKE_CXX_COMPILER=clang++")
    endif()
    target_compile_options(ostraline_options INTERFACE -fsanitize=fuzzer-no-link)
endif()
