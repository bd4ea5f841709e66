# Warnings are errors for our own targets only; system headers and packages stay untouched.
function(quenby_target_warnings target)
    if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
        # For the compilers only: the resource compiler of a Windows program takes no warnings.
        target_compile_options(${target} PRIVATE $<$<COMPILE_LANGUAGE:C,CXX>:
            -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wnon-virtual-dtor
            -Wold-style-cast -Woverloaded-virtual -Wimplicit-fallthrough -Werror>)
    elseif(MSVC)
        target_compile_options(${target} PRIVATE /W4 /WX)
    endif()
endfunction()
