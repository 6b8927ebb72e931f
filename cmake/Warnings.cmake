# Every target of the project compiles warning-free; a new warning fails the build.
add_compile_options(-Wall -Wextra -Werror)
