// Kept while tests/tools lists it; the helpers are header only in tests/support/TestFiles.h.
