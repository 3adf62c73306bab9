# Compiler and linker flags for a program that must load on every 32-bit
# Windows from the 9x family and NT 4 onwards.

# Pentium-class code: the oldest CPUs those systems run on have no CMOV or SSE.
# (The x86-64 build, for machines that run no 32-bit program, keeps the
# compiler's x86-64 baseline.)
if(CMAKE_SYSTEM_PROCESSOR STREQUAL i686)
    add_compile_options(-march=i586 -mtune=generic)
endif()
add_compile_options(-Wall -Wextra)
# Smaller exe: drop unused functions and data at link time.
add_compile_options(-ffunction-sections -fdata-sections)

add_link_options(
    # No libgcc_s, libstdc++ or libwinpthread DLLs beside the exe.
    -static -static-libgcc -static-libstdc++
    # OS version 4.0 lets the 9x family and NT 4 load the programs.
    -Wl,--major-os-version,4 -Wl,--minor-os-version,0
    -Wl,--gc-sections
    # Reproducible builds: no link timestamp in the PE header.
    -Wl,--no-insert-timestamp)
