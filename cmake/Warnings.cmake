# Every target of the project compiles warning-free; a new warning fails the build.
add_compile_options(-Wall -Wextra -Werror)
# GCC 12 reports impossible overlaps inside std::string's own inlined copies
# at -O2 and above (GCC bug 105329); the warning says nothing about our code.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
  add_compile_options(-Wno-restrict)
endif()
