# Payload format, keys, streamed decryption, the opening sequence and the
# buffer-returning functions, linked into the decryptor and into orx. Built
# without exceptions and RTTI so that it links into a program without the
# C++ runtime.
#
# The crypto port has one provider per platform: OpenSSL (Debian's
# libssl-dev) on the host, the system's CNG in every Windows image, which
# therefore needs nothing installed.
add_library(orx_payload STATIC
  ${CMAKE_CURRENT_LIST_DIR}/payload/payload_stream.cpp
  ${CMAKE_CURRENT_LIST_DIR}/payload/cfb128.cpp
  ${CMAKE_CURRENT_LIST_DIR}/payload/stored_name.cpp
  ${CMAKE_CURRENT_LIST_DIR}/payload/payload_header.cpp
  ${CMAKE_CURRENT_LIST_DIR}/payload/payload_keys.cpp
  ${CMAKE_CURRENT_LIST_DIR}/payload/streamed_decryption.cpp
  ${CMAKE_CURRENT_LIST_DIR}/payload/payload_open.cpp
  ${CMAKE_CURRENT_LIST_DIR}/payload/payload_crypto.cpp)
if(ORX_WINDOWS)
  target_sources(orx_payload PRIVATE ${PROJECT_SOURCE_DIR}/decryptor/win/cng_crypto.cpp)
else()
  target_sources(orx_payload PRIVATE ${CMAKE_CURRENT_LIST_DIR}/payload/openssl_crypto.cpp)
  target_link_libraries(orx_payload PUBLIC OpenSSL::Crypto)
endif()
target_include_directories(orx_payload PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(orx_payload PUBLIC orx_common)
# Small in the Windows images; fast on the host, where orx and the
# benchmarks run.
target_compile_options(orx_payload PRIVATE -fno-exceptions -fno-rtti -fno-threadsafe-statics
  $<$<BOOL:${ORX_HOST}>:-O3>)
orx_small_code(orx_payload)
