# The win32 thread model: the posix one links winpthread into every program (about 25 KiB each)
# for what Windows has built in. Its runtime has no std::thread or std::mutex; the code uses Win32
# threads and CSrwLock (components/handles/SrwLock.h), and GoogleTest its own Windows locks.
set(CMAKE_C_COMPILER ${FENNICK_TRIPLET}-gcc-win32)
set(CMAKE_CXX_COMPILER ${FENNICK_TRIPLET}-g++-win32)
set(CMAKE_RC_COMPILER ${FENNICK_TRIPLET}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${FENNICK_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# Static runtime: nothing needs MinGW DLLs at run time.
# Sections per function and data item, so that the linker drops what a program never uses:
# each program carries its own copy of the C++ runtime, and the kit is downloaded by users.
set(CMAKE_C_FLAGS_INIT "-ffunction-sections -fdata-sections")
set(CMAKE_CXX_FLAGS_INIT "-ffunction-sections -fdata-sections")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++ -Wl,--gc-sections")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++ -Wl,--gc-sections")
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
  set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run)
endif()
