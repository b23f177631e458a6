# Flags shared by every target of every configuration.
add_compile_options(-Wall -Wextra -Werror -ffp-contract=off)

# Release builds at -O2, the level at which the sample loops were vectorised and measured.
set(CMAKE_CXX_FLAGS_RELEASE "-O2 -DNDEBUG")

if(PALVOTRIX_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

# The job's helper thread shares blocks with it: ThreadSanitizer checks every hand-over.
if(PALVOTRIX_SANITIZE_THREADS)
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
endif()

if(WIN32)
  add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)
  # One self-contained executable: no libstdc++, libgcc or winpthread DLLs beside it.
  add_link_options(-static -static-libgcc -static-libstdc++)
  # No link time in the header: the same sources give the same executable, byte for byte.
  add_link_options(-Wl,--no-insert-timestamp)
else()
  # 64-bit file offsets in 32-bit builds too: the files this program reads may pass 4 GiB.
  add_compile_definitions(_FILE_OFFSET_BITS=64)
endif()
