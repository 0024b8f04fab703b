# The sanitizer build: everything compiled by clang with AddressSanitizer and
# UndefinedBehaviorSanitizer, every finding fatal, plus the libFuzzer targets (tests/fuzz/).
option(ORV_SANITIZE "Build with clang's ASan and UBSan, and the fuzz targets" OFF)

if(ORV_SANITIZE)
    if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
        message(FATAL_ERROR "ORV_SANITIZE needs clang (libFuzzer comes with it): "
                            "configure with -DCMAKE_CXX_COMPILER=clang++, or use the preset 'sanitize'")
    endif()
    add_compile_options(
        -fsanitize=address,undefined
        # A report ends the program: a test that carries on past one could still pass.
        -fno-sanitize-recover=all
        # Whole stacks in the reports, also through frames of optimised code.
        -fno-omit-frame-pointer
        # Coverage feedback for libFuzzer in the code under test; the fuzz targets add the
        # fuzzer's own runtime when they link, the other programs get no-op callbacks.
        -fsanitize=fuzzer-no-link)
    add_link_options(-fsanitize=address,undefined)
    # Buffers handed out unset are filled with a pattern, so that a read before the first write
    # changes pictures the tests compare.
    add_compile_definitions(ORV_POISON_UNSET_MEMORY)

    # Every executable of this build carries the sanitizers' run-time options, so that a program
    # run by hand, by CTest, by another test or by scripts/fuzz behaves alike (the environment's
    # ASAN_OPTIONS and the like still come on top). orv_warnings is the one interface every
    # target links; the source goes to executables only.
    set(ORV_LSAN_SUPPRESSIONS ${CMAKE_CURRENT_LIST_DIR}/lsan.supp)
    configure_file(${CMAKE_CURRENT_LIST_DIR}/SanitizerOptions.cpp.in
                   ${CMAKE_BINARY_DIR}/SanitizerOptions.cpp @ONLY)
    target_sources(orv_warnings INTERFACE
        $<$<STREQUAL:$<TARGET_PROPERTY:TYPE>,EXECUTABLE>:${CMAKE_BINARY_DIR}/SanitizerOptions.cpp>)
endif()
