# The fuzz targets as ordinary programs of this build (with the sanitizers when it has them), and
# CTest tests that replay through them every regression input and seed. Any compiler will do.
add_executable(replay_fuzz_material ${CMAKE_SOURCE_DIR}/fuzz/material_fuzz.cpp
  ${CMAKE_SOURCE_DIR}/fuzz/replay_main.cpp)
target_link_libraries(replay_fuzz_material PRIVATE orvane_format)

add_executable(replay_fuzz_mesh_reader ${CMAKE_SOURCE_DIR}/fuzz/mesh_reader.cpp
  ${CMAKE_SOURCE_DIR}/fuzz/replay_main.cpp
  ${CMAKE_SOURCE_DIR}/source/export/orvanemesh.cpp
  ${CMAKE_SOURCE_DIR}/source/export/meshallocator.cpp
  ${CMAKE_SOURCE_DIR}/common/files/folder.cpp ${CMAKE_SOURCE_DIR}/common/files/lock.cpp
  ${CMAKE_SOURCE_DIR}/common/files/registry.cpp ${CMAKE_SOURCE_DIR}/common/files/result.cpp
  ${CMAKE_SOURCE_DIR}/common/files/sweep.cpp ${CMAKE_SOURCE_DIR}/common/files/temporary.cpp
  ${CMAKE_SOURCE_DIR}/common/files/walk.cpp)
target_include_directories(replay_fuzz_mesh_reader PRIVATE ${CMAKE_SOURCE_DIR}/source ${CMAKE_SOURCE_DIR}/common)

# The whole material import into a host document: the plug-in and the host stand-in as built.
add_executable(replay_fuzz_import ${CMAKE_SOURCE_DIR}/fuzz/import_fuzz.cpp
  ${CMAKE_SOURCE_DIR}/fuzz/replay_main.cpp)
target_link_libraries(replay_fuzz_import PRIVATE corvane_plugin c4dhost orvane_format)

add_test(NAME FuzzRegressions.Material
  COMMAND replay_fuzz_material ${CMAKE_SOURCE_DIR}/fuzz/regressions/material ${CMAKE_SOURCE_DIR}/fuzz/corpus/material)
add_test(NAME FuzzRegressions.Mesh
  COMMAND replay_fuzz_mesh_reader ${CMAKE_SOURCE_DIR}/fuzz/regressions/mesh ${CMAKE_SOURCE_DIR}/fuzz/corpus/mesh)
add_test(NAME FuzzRegressions.Import
  COMMAND replay_fuzz_import ${CMAKE_SOURCE_DIR}/fuzz/regressions/import ${CMAKE_SOURCE_DIR}/fuzz/corpus/material)
set_tests_properties(FuzzRegressions.Material FuzzRegressions.Mesh FuzzRegressions.Import PROPERTIES TIMEOUT 300)

# Unpacking a packed material file, as the import does.
pkg_check_modules(REPLAY_LIBZIP REQUIRED IMPORTED_TARGET libzip)
add_executable(replay_fuzz_unpack ${CMAKE_SOURCE_DIR}/fuzz/unpack_fuzz.cpp ${CMAKE_SOURCE_DIR}/fuzz/replay_main.cpp)
target_link_libraries(replay_fuzz_unpack PRIVATE corvane_plugin c4dhost orvane_format PkgConfig::REPLAY_LIBZIP)
add_test(NAME FuzzRegressions.Unpack
  COMMAND replay_fuzz_unpack ${CMAKE_SOURCE_DIR}/fuzz/regressions/unpack ${CMAKE_SOURCE_DIR}/fuzz/corpus/unpack)
set_tests_properties(FuzzRegressions.Unpack PROPERTIES TIMEOUT 300)

# The material import from a file on disk.
add_executable(replay_fuzz_import_file ${CMAKE_SOURCE_DIR}/fuzz/import_file_fuzz.cpp
  ${CMAKE_SOURCE_DIR}/fuzz/replay_main.cpp)
target_link_libraries(replay_fuzz_import_file PRIVATE corvane_plugin c4dhost orvane_format)
add_test(NAME FuzzRegressions.ImportFile
  COMMAND replay_fuzz_import_file ${CMAKE_SOURCE_DIR}/fuzz/regressions/import_file ${CMAKE_SOURCE_DIR}/fuzz/corpus/material)
set_tests_properties(FuzzRegressions.ImportFile PROPERTIES TIMEOUT 300)

# The host's document files, loaded, saved and loaded again.
add_executable(replay_fuzz_document ${CMAKE_SOURCE_DIR}/fuzz/document_fuzz.cpp ${CMAKE_SOURCE_DIR}/fuzz/replay_main.cpp)
target_link_libraries(replay_fuzz_document PRIVATE c4dhost)
add_test(NAME FuzzRegressions.Document
  COMMAND replay_fuzz_document ${CMAKE_SOURCE_DIR}/fuzz/regressions/document ${CMAKE_SOURCE_DIR}/fuzz/corpus/document)
set_tests_properties(FuzzRegressions.Document PROPERTIES TIMEOUT 300)
