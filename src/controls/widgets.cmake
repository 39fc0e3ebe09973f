# Buttons, hyperlink, static text, title tip, editable list, tabs, autocomplete edit.
set(CONTROLS_WIDGET_SOURCES)
