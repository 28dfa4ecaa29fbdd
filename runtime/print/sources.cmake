set(RUNTIME_PRINT_SOURCES runtime/print/format_core.cpp runtime/print/format_entry.cpp runtime/print/format_integer.cpp runtime/print/format_special.cpp runtime/print/status_names.cpp)
