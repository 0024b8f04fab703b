# Warnings shared by every target; linked PRIVATE so they never leak to consumers.
add_library(orv_warnings INTERFACE)
target_compile_options(orv_warnings INTERFACE -Wall -Wextra -Wpedantic -Wshadow)
if(ORV_WARNINGS_AS_ERRORS)
    target_compile_options(orv_warnings INTERFACE -Werror)
endif()

# The renderer's results are defined by IEEE double arithmetic with every product and sum rounded:
# a fused multiply-add moves boundary pixels. (Excess precision cannot arise: the renderer
# asserts FLT_EVAL_METHOD == 0, which holds for SSE2 doubles on x86-64.)
add_library(orv_exact_fp INTERFACE)
target_compile_options(orv_exact_fp INTERFACE -ffp-contract=off -fno-fast-math)
