# Payload format, keys, streamed decryption, the opening sequence and the
# buffer-returning functions, linked into the decryptor and into orx. Built
# without exceptions and RTTI so that it links into a program without the
# C++ runtime.
add_library(orx_payload STATIC
  ${CMAKE_CURRENT_LIST_DIR}/payload/payload_stream.cpp
  ${CMAKE_CURRENT_LIST_DIR}/payload/cfb128.cpp
  ${CMAKE_CURRENT_LIST_DIR}/payload/stored_name.cpp
  ${CMAKE_CURRENT_LIST_DIR}/payload/stored_name_contexts.cpp
  ${CMAKE_CURRENT_LIST_DIR}/payload/payload_header.cpp
  ${CMAKE_CURRENT_LIST_DIR}/payload/payload_keys.cpp
  ${CMAKE_CURRENT_LIST_DIR}/payload/format2_keys.cpp
  ${CMAKE_CURRENT_LIST_DIR}/payload/streamed_decryption.cpp
  ${CMAKE_CURRENT_LIST_DIR}/payload/payload_open.cpp
  ${CMAKE_CURRENT_LIST_DIR}/payload/payload_crypto.cpp)
target_include_directories(orx_payload PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(orx_payload PUBLIC orx_common)
# Small in the Windows images; fast on the host, where orx and the
# benchmarks run.
set(ORX_PAYLOAD_FLAGS -fno-exceptions -fno-rtti -fno-threadsafe-statics
  $<$<BOOL:${ORX_HOST}>:-O3>)
target_compile_options(orx_payload PRIVATE ${ORX_PAYLOAD_FLAGS})
orx_small_code(orx_payload)

# The crypto port (payload/crypto_port.h) has one provider per platform,
# each its own library: the system's CNG in every Windows image, which
# therefore needs nothing installed, and OpenSSL (Debian's libssl-dev) on
# the host. The payload code links the platform's one.
if(ORX_WINDOWS)
  add_library(orx_crypto_cng STATIC ${PROJECT_SOURCE_DIR}/decryptor/win/cng_crypto.cpp)
  target_include_directories(orx_crypto_cng PUBLIC ${CMAKE_CURRENT_LIST_DIR})
  target_link_libraries(orx_crypto_cng PUBLIC orx_common kernel32)
  target_compile_options(orx_crypto_cng PRIVATE ${ORX_PAYLOAD_FLAGS})
  orx_small_code(orx_crypto_cng)
  target_link_libraries(orx_payload PUBLIC orx_crypto_cng)
else()
  add_library(orx_crypto_openssl STATIC ${CMAKE_CURRENT_LIST_DIR}/payload/openssl_crypto.cpp)
  target_include_directories(orx_crypto_openssl PUBLIC ${CMAKE_CURRENT_LIST_DIR})
  target_link_libraries(orx_crypto_openssl PUBLIC orx_common OpenSSL::Crypto)
  target_compile_options(orx_crypto_openssl PRIVATE ${ORX_PAYLOAD_FLAGS})
  target_link_libraries(orx_payload PUBLIC orx_crypto_openssl)
endif()
