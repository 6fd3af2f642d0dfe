# The hardening Debian gives its packages, for every program and library of the
# build: stack protector, full RELRO, position-independent executables and, in
# optimised builds without sanitizers, _FORTIFY_SOURCE. On Windows the PE flags
# that ask for ASLR (64-bit, high entropy) and a non-executable stack and heap.
include(CheckPIESupported)
check_pie_supported(LANGUAGES C CXX)

if(WIN32)
    add_link_options(-Wl,--dynamicbase -Wl,--high-entropy-va -Wl,--nxcompat)
elseif(CMAKE_SYSTEM_NAME STREQUAL "Linux")
    add_compile_options(-fstack-protector-strong)
    add_link_options(-Wl,-z,relro -Wl,-z,now)
    if(NOT OSTRELIN_SANITIZE)
        # The checks need optimisation; the sanitizers do the same work better.
        # -U first: some compilers define a level of their own.
        add_compile_options($<$<NOT:$<CONFIG:Debug>>:-U_FORTIFY_SOURCE>
                            $<$<NOT:$<CONFIG:Debug>>:-D_FORTIFY_SOURCE=2>)
    endif()
endif()
