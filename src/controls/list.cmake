# List control, its editors, header, combo box and drop-down window.
set(CONTROLS_LIST_SOURCES)
