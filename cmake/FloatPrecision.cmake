# The programs' arithmetic is exact to the last bit only where float and double operations are
# rounded to their own precision. Targets that compute in a wider format (x87 on 32-bit x86,
# FLT_EVAL_METHOD 2) would print other digits, so the build asks for SSE arithmetic there, and
# stops if even that does not help. The check only compiles, so it works when cross-compiling.
include(CheckCXXSourceCompiles)

set(float_eval_check [[
#include <cfloat>
#if defined(FLT_EVAL_METHOD) && FLT_EVAL_METHOD != 0
#error float and double are evaluated in excess precision
#endif
int main() { return 0; }
]])

# (A static library is only compiled, never linked.)
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)
check_cxx_source_compiles("${float_eval_check}" CONSOLE_EXERCISES_EXACT_FLOAT)
if(NOT CONSOLE_EXERCISES_EXACT_FLOAT)
    set(sse_flags -msse2 -mfpmath=sse)
    list(JOIN sse_flags " " CMAKE_REQUIRED_FLAGS)
    check_cxx_source_compiles("${float_eval_check}" CONSOLE_EXERCISES_EXACT_FLOAT_WITH_SSE)
    unset(CMAKE_REQUIRED_FLAGS)
    if(MSVC OR NOT CONSOLE_EXERCISES_EXACT_FLOAT_WITH_SSE)
        message(FATAL_ERROR "This target evaluates float and double in excess precision "
                            "(FLT_EVAL_METHOD is not 0), even with -msse2 -mfpmath=sse, so the "
                            "programs would print wrong digits. Build for a target with SSE2.")
    endif()
    target_compile_options(exercise_options INTERFACE ${sse_flags})
    list(APPEND CONSOLE_EXERCISES_CXX_FLAGS ${sse_flags})
    message(STATUS "float and double would be evaluated in excess precision: "
                   "using -msse2 -mfpmath=sse")
endif()
unset(CMAKE_TRY_COMPILE_TARGET_TYPE)
