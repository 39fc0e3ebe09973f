set(MODEL_DOCUMENT_TESTS
  DocFakes.h
  DocFileTest.cpp
  DocOperationsTest.cpp
  ImportTest.cpp)

# libFuzzer target for the document reader (clang, -DVELOTRIX_FUZZ=ON).
if(VELOTRIX_FUZZ)
  add_executable(model_doc_fuzz DocReaderFuzz.cpp)
  target_compile_options(model_doc_fuzz PRIVATE -fsanitize=fuzzer)
  target_link_options(model_doc_fuzz PRIVATE -fsanitize=fuzzer)
  target_link_libraries(model_doc_fuzz PRIVATE velotrix_options model)
endif()
