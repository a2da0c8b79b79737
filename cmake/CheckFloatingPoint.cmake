# Every double must be rounded to 64 bits after each operation, as the reference model rounds
# it: no 80-bit x87 intermediates (on x86, the arithmetic must be SSE2's).
include(CheckCXXSourceCompiles)
check_cxx_source_compiles([=[
#include <cfloat>
#if !defined(FLT_EVAL_METHOD) || FLT_EVAL_METHOD != 0
#error "intermediate results are kept wider than their type"
#endif
#if (defined(__x86_64__) || defined(__i386__)) && !defined(__SSE2_MATH__)
#error "floating-point arithmetic does not use SSE2"
#endif
int main() { return 0; }
]=] TAVRIK_DOUBLES_ROUNDED_EACH_STEP)
if(NOT TAVRIK_DOUBLES_ROUNDED_EACH_STEP)
    message(FATAL_ERROR "The compiler keeps floating-point intermediates wider than double "
                        "(x87): results would differ in their last bits. On x86 compile with "
                        "-mfpmath=sse -msse2.")
endif()
