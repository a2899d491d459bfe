// Filling the program's fixed-size text buffers without ever overflowing them.
#pragma once

#include <cstddef>

// Copies src into dst (capacity `size` bytes) when it fits with its
// terminator and returns true; otherwise empties dst and returns false.
bool CopyBounded(char* dst, std::size_t size, const char* src);

// Appends src to the terminated text in dst when the whole fits with its
// terminator and returns true; otherwise leaves dst unchanged and returns
// false.
bool AppendBounded(char* dst, std::size_t size, const char* src);
