set(MODEL_DOCUMENT_TESTS
  DocFakes.h
  DocFileTest.cpp
  DocOperationsTest.cpp
  ImportTest.cpp)

# Fuzz target for the document reader (clang, -DVELOTRIX_FUZZ=ON).
velotrix_fuzzer(model_doc_fuzz SOURCES DocReaderFuzz.cpp DEPENDS model tool_support)
