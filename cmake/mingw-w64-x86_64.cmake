# Cross build for 64-bit Windows with Debian's MinGW-w64 (the POSIX threading
# flavour, which std::thread and std::mutex need). Tests run under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(OSTRELIN_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${OSTRELIN_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${OSTRELIN_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${OSTRELIN_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${OSTRELIN_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The runtime libraries (libgcc, libstdc++, winpthread) go into every binary,
# so a copied bin folder runs on a machine without the build tools.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static")

# Every program the build runs (tests included) goes through Wine, with a
# prefix of the build's own.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run)
