// Configuration editor.
