# The libFuzzer targets, one per parser of outside input. Each links only the
# sources its parser needs, compiled once into object libraries, so that the
# fuzz build stays short. Included by the top CMakeLists.txt with RNT_FUZZ=ON,
# instead of the add-on, the programs and the tests.
if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
  message(FATAL_ERROR "RNT_FUZZ needs clang, which brings libFuzzer: CXX=clang++-14")
endif()

add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all
                    -fno-omit-frame-pointer)
include_directories(include src)

add_library(rnt_fuzz_core OBJECT
  src/core/collection.cc src/core/date.cc src/core/text_util.cc src/core/value_text.cc
  src/core/variant.cc src/platform/addon_files.cc)

# rnt_fuzz_target(NAME SOURCES...): fuzz_NAME from tests/fuzz/targets/NAME.cc
# and the sources of the parser it drives.
function(rnt_fuzz_target name)
  add_executable(fuzz_${name} tests/fuzz/targets/${name}.cc ${ARGN})
  target_link_libraries(fuzz_${name} PRIVATE rnt_fuzz_core ${CMAKE_DL_LIBS})
  target_link_options(fuzz_${name} PRIVATE -fsanitize=fuzzer,address,undefined)
endfunction()

rnt_fuzz_target(query_shape src/db/query_shape.cc)
rnt_fuzz_target(value_text src/db/column_conversion.cc)
rnt_fuzz_target(parameters_line src/engine/run_parameters.cc src/refhost/parameters_file.cc)
rnt_fuzz_target(server_txt src/host/server_text.cc src/refhost/server_login.cc
                src/db/connection_text.cc src/db/server_address.cc)
find_package(CLI11 REQUIRED)
rnt_fuzz_target(command_line src/cli/command_line.cc src/cli/run_values.cc
                src/cli/billing_period.cc)
target_link_libraries(fuzz_command_line PRIVATE CLI11::CLI11)
target_compile_definitions(fuzz_command_line PRIVATE RNT_VERSION="${PROJECT_VERSION}")
