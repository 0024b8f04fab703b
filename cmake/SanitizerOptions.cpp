// The sanitizers' default run-time options, linked into every executable of the sanitizer build
// (cmake/Sanitizers.cmake). The runtimes call these before main; options in the environment
// (ASAN_OPTIONS, UBSAN_OPTIONS) are read after them and win. LeakSanitizer runs at every exit
// with no suppressions: neither Qt nor fontconfig leaves anything it reports.

extern "C" {

const char* __asan_default_options() {
    // A finding ends the program with a non-zero status, which fails the test that ran it.
    // Use-after-return is caught too, and string functions are checked for the whole string,
    // not only the bytes they read.
    return "halt_on_error=1:detect_leaks=1:detect_stack_use_after_return=1:"
           "strict_string_checks=1:check_initialization_order=1:strict_init_order=1";
}

const char* __ubsan_default_options() {
    return "halt_on_error=1:print_stacktrace=1";
}

}  // extern "C"
