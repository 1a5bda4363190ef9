# Language choice, the decryptor's texts and the gradient arithmetic of its
# labels: plain C++ without the C++ runtime, linked into the decryptor (and
# the stub, which takes the Cancel label alone).
add_library(orx_texts STATIC
  ${CMAKE_CURRENT_LIST_DIR}/texts.cpp
  ${CMAKE_CURRENT_LIST_DIR}/cancel_label.cpp
  ${CMAKE_CURRENT_LIST_DIR}/gradient_bands.cpp)
target_include_directories(orx_texts PUBLIC ${CMAKE_CURRENT_LIST_DIR})
# The texts are UTF-8 in the source and UTF-16 in the program.
target_compile_options(orx_texts PRIVATE -finput-charset=UTF-8 -fno-exceptions -fno-rtti)
orx_small_code(orx_texts)
