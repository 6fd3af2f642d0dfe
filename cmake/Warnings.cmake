# Warnings are errors for every target of the project.
function(ostrelin_warnings target)
    target_compile_options(${target} PRIVATE
        -Wall -Wextra -Wpedantic -Wshadow -Wimplicit-fallthrough -Werror)
endfunction()
