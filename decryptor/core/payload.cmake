# Payload format, key derivation, unwrapping and streamed decryption, linked
# into the decryptor and into orx. Built without exceptions and RTTI so that
# it links into a program without the C++ runtime.
add_library(orx_payload STATIC
  ${CMAKE_CURRENT_LIST_DIR}/payload/payload_stream.cpp
  ${CMAKE_CURRENT_LIST_DIR}/payload/payload_crypto.cpp
  ${CMAKE_CURRENT_LIST_DIR}/payload/payload_header.cpp)
target_include_directories(orx_payload PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(orx_payload PUBLIC OpenSSL::Crypto)
target_compile_options(orx_payload PRIVATE -Os -fno-exceptions -fno-rtti
  -fno-asynchronous-unwind-tables -fno-threadsafe-statics
  -ffunction-sections -fdata-sections)
