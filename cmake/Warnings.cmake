# Our own targets get strict warnings; third-party headers come in as system
# includes and are not affected.
function(vexolin_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow
    -Wconversion -Wno-sign-conversion -Wnon-virtual-dtor -Wold-style-cast
    -Woverloaded-virtual)
  if(VEXOLIN_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
  # GCC 12 at -O3 warns, wrongly, that short string concatenations may
  # overlap (its bug 105329) wherever std::string operator+ is inlined.
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
    target_compile_options(${target} PRIVATE -Wno-restrict)
  endif()
endfunction()
