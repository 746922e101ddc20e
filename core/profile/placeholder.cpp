// Profile files and data model.
