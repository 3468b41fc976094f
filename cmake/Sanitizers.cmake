# Sanitized trees: every target below is compiled and linked with the address and
# undefined-behaviour sanitizers, and an undefined behaviour stops the program like a crash.
# QUILBA_FUZZ also prepares every object for libFuzzer's coverage; the fuzz targets add the
# libFuzzer driver themselves (fuzz/CMakeLists.txt).
set(quilba_sanitizers -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
if(CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    # A check that a system library's header fails is left out for that header only.
    list(APPEND quilba_sanitizers -fsanitize-ignorelist=${CMAKE_CURRENT_LIST_DIR}/sanitizer-ignorelist.txt)
else()
    # GCC has no per-file list: the pointer-overflow check goes as a whole (see the list).
    list(APPEND quilba_sanitizers -fno-sanitize=pointer-overflow)
endif()
if(QUILBA_FUZZ)
    if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
        message(FATAL_ERROR "QUILBA_FUZZ needs clang (CXX=clang++): libFuzzer comes with it")
    endif()
    add_compile_options(${quilba_sanitizers} -fsanitize=fuzzer-no-link)
    add_link_options(-fsanitize=address,undefined)
elseif(QUILBA_SANITIZE)
    add_compile_options(${quilba_sanitizers})
    add_link_options(-fsanitize=address,undefined)
endif()
