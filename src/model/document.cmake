# Document container, document file, operations, standard items and the board document.
set(MODEL_DOCUMENT_SOURCES
  DocArchive.cpp DocArchive.h
  DocFrameLinks.h
  ImportReport.cpp ImportReport.h
  PacketFactory.cpp PacketFactory.h
  QelDoc.cpp QelDoc.h
  QelDocAnswers.cpp
  QelDocContainer.cpp QelDocContainer.h
  QelDocFileImport.cpp QelDocFileImport.h
  VarRowRecord.h)
