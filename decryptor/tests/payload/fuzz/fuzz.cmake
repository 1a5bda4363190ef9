# The payload fuzzer, built with Debian's clang and libFuzzer (host preset;
# scripts/setup.sh installs them), and a test that replays the committed
# corpus under AddressSanitizer and UndefinedBehaviorSanitizer.
# scripts/fuzz.sh runs it for longer.
if(NOT ORX_HOST)
  return()
endif()
find_program(ORX_CLANGXX NAMES clang++-14 clang++ REQUIRED)

set(_core ${PROJECT_SOURCE_DIR}/decryptor/core)
# The layers of the opening sequence, as the programs link them (the
# buffer-returning functions are no part of it).
set(_fuzz_sources
  ${CMAKE_CURRENT_LIST_DIR}/payload_fuzzer.cpp
  ${_core}/payload/payload_stream.cpp
  ${_core}/payload/cfb128.cpp
  ${_core}/payload/openssl_crypto.cpp
  ${_core}/payload/stored_name.cpp
  ${_core}/payload/stored_name_contexts.cpp
  ${_core}/payload/payload_header.cpp
  ${_core}/payload/payload_keys.cpp
  ${_core}/payload/format2_keys.cpp
  ${_core}/payload/streamed_decryption.cpp
  ${_core}/payload/payload_open.cpp)
file(GLOB _core_headers ${_core}/payload/*.h)
set(_fuzzer ${CMAKE_CURRENT_BINARY_DIR}/fuzz/payload_fuzzer)
file(MAKE_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/fuzz)
add_custom_command(OUTPUT ${_fuzzer}
  COMMAND ${ORX_CLANGXX} -std=c++17 -g -O1 -fno-exceptions -fno-rtti
          -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined
          -I${_core} -I${PROJECT_SOURCE_DIR}/common/include -I${CMAKE_CURRENT_LIST_DIR}/.. ${_fuzz_sources} -lcrypto -o ${_fuzzer}
  DEPENDS ${_fuzz_sources} ${CMAKE_CURRENT_LIST_DIR}/../memory_stream.h ${_core_headers}
          ${PROJECT_SOURCE_DIR}/common/include/orx/secret.h
  COMMENT "Building the payload fuzzer with ${ORX_CLANGXX}")
add_custom_target(payload_fuzzer ALL DEPENDS ${_fuzzer})

# -runs=0 executes every corpus input once and stops; any crash, leak or
# sanitizer report fails the test.
add_test(NAME decryptor.payload.fuzz_corpus
  COMMAND ${_fuzzer} -runs=0 ${CMAKE_CURRENT_LIST_DIR}/corpus)
