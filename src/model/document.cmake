# Document container, document file, operations, standard items and the board document.
set(MODEL_DOCUMENT_SOURCES)
