# One interface target carries the language level, warnings and sanitizer flags;
# every target of the project links it.
add_library(vardex_options INTERFACE)
add_library(vardex::options ALIAS vardex_options)

target_compile_features(vardex_options INTERFACE cxx_std_20)
set(CMAKE_CXX_EXTENSIONS OFF)

target_compile_options(vardex_options INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Wold-style-cast
  -Wcast-align -Woverloaded-virtual -Wimplicit-fallthrough
  -Werror)

if(VARDEX_SANITIZE OR VARDEX_FUZZ)
  target_compile_options(vardex_options INTERFACE
    -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
  target_link_options(vardex_options INTERFACE -fsanitize=address,undefined)
endif()
if(VARDEX_FUZZ)
  # Coverage for libFuzzer in every library; only the fuzz programs link its main.
  target_compile_options(vardex_options INTERFACE -fsanitize=fuzzer-no-link)
endif()

# Libraries found once here so every subfolder sees the same targets.
find_package(nlohmann_json 3.10 REQUIRED)
find_package(Threads REQUIRED)

# Code that differs between platforms lives in one file per platform, named *_linux.cpp or
# *_macos.cpp; the build compiles the one for its target.
if(APPLE)
  set(VARDEX_PLATFORM macos)
else()
  set(VARDEX_PLATFORM linux)
endif()
