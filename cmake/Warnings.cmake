# Every target of the project compiles warning-free. The developers' flavours
# (scripts/build.sh) and CI make a new warning fail the build; a plain CMake
# build, as a packager or a newer compiler makes it, only reports it.
add_compile_options(-Wall -Wextra)
if(QV_WERROR)
  add_compile_options(-Werror)
endif()
# GCC 12 reports impossible overlaps inside std::string's own inlined copies
# at -O2 and above (GCC bug 105329); the warning says nothing about our code.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
  add_compile_options(-Wno-restrict)
endif()
