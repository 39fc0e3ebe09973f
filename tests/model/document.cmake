set(MODEL_DOCUMENT_TESTS
  DocFakes.h
  DocFileTest.cpp
  DocOperationsTest.cpp)
